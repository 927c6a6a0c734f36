' The forms in which the failures an administrator meets first reach a script: the README's
' troubleshooting table quotes them.
On Error Resume Next

Sub CheckScriptError(name, e, number, description)
    Check name, e.Number & " " & e.Description, number & " " & description
    e.Clear
End Sub

Dim missing, d, folder
Set missing = CreateObject("Korvo.NoSuchClass")
CheckScriptError "a class that is not registered", Err, 429, "ActiveX component can't create object"

Set d = CreateObject("Korvo.Dictionary")
d.Add "a", 1
folder = CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
d.Save folder
CheckScriptError "Save onto a folder: access denied, which VBScript shows as its error 70", Err, 70, "Permission denied"

d.Load folder & "\korvo-no-such-file.dic"
CheckScriptError "Load of a missing file: a bare HRESULT without a description", Err, &H80070002, ""
d.UnLock
CheckScriptError "UnLock without Lock", Err, &H8000000A, ""
Finish
