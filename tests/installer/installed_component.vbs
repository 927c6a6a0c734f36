' The component as the installer left it: created by its ProgID from the server of this script
' host's bitness, in the program folder of that bitness, with its type library registered.

Dim d, shell, expected
Set d = CreateObject("Korvo.Dictionary")
d.Add "b", 2
d.Add "a", 1
Dim keys
keys = d.Keys
Check "keys in order", keys(0) & "," & keys(1), "a,b"
Check "item", d("b"), 2

Set shell = CreateObject("WScript.Shell")
If WScript.Arguments.Count > 0 Then
    expected = WScript.Arguments(0)
    Check "the server that serves it", _
          LCase(shell.RegRead("HKCR\CLSID\{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}\InprocServer32\")), _
          LCase(expected)
End If
Check "the type library's name", _
      shell.RegRead("HKCR\TypeLib\{9BF370AA-3869-4F11-82FB-04017F65BF51}\1.0\"), _
      "ASP/VBS KorvoDictionary library 1.1.5"
Finish
