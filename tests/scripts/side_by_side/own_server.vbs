' Which server a script host of one bitness finds when both builds of Korvod.dll may be
' registered in one prefix. Run by side_by_side.sh with the 64-bit or the 32-bit cscript:
'
'   own_server.vbs <state> <host architecture> [<Korvod.dll path>]
'
' <host architecture> is what the host's PROCESSOR_ARCHITECTURE must be (AMD64 or x86), so a
' script can never pass in a host of the wrong bitness. <state>:
'   registered    the class key of this host's registry view names <path>; the ProgID and the
'                 CLSID both make a working object (an in-process server loads only into a host
'                 of its own bitness, so this is the build at <path>)
'   orphaned      this build is registered and the other one was unregistered afterwards: the
'                 ProgID key is shared by both views, so it must have survived that unregistration
'   unregistered  this host's view holds no class key and neither name makes an object
' The check helpers (lib/check.vbs) are put in front of it by the test runner.
Const kClassKey = "HKCR\CLSID\{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}\"
Const kClassMoniker = "new:{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}"
Const kProgId = "Korvo.Dictionary"

' The default value of a key in this host's view, or "<absent>".
Function RegistryText(path)
    Dim shell
    Set shell = CreateObject("WScript.Shell")
    On Error Resume Next
    RegistryText = shell.RegRead(path)
    If Err.Number <> 0 Then RegistryText = "<absent>"
    Err.Clear
End Function

' "works" when the name makes an object that stores and returns an item, else the error.
Function CreationResult(how, name)
    Dim d, stored, number, description
    On Error Resume Next
    If how = "ProgID" Then
        Set d = CreateObject(name)
    Else
        Set d = GetObject(name)
    End If
    If Err.Number = 0 Then d.Add "k", 42
    If Err.Number = 0 Then stored = d.Item("k") & "/" & d.Count
    If Err.Number = 0 And stored <> "42/1" Then Err.Raise 5, , "the object holds " & stored
    number = Err.Number
    description = Err.Description
    Err.Clear
    On Error GoTo 0
    If number = 0 Then
        CreationResult = "works"
    Else
        CreationResult = "error &H" & Hex(number) & " " & description
    End If
End Function

Dim state, architecture, server, arguments
Set arguments = WScript.Arguments
If arguments.Count < 2 Then
    WScript.Echo "usage: own_server.vbs registered|orphaned|unregistered AMD64|x86 [Korvod.dll path]"
    WScript.Quit 2
End If
state = arguments(0)
architecture = arguments(1)
server = ""
If arguments.Count > 2 Then server = arguments(2)

Dim host, progIdResult
host = CreateObject("WScript.Shell").Environment("Process")("PROCESSOR_ARCHITECTURE")
Check "the host is " & architecture, host, architecture

Select Case state
Case "registered", "orphaned"
    Check "this view's class key names " & server, LCase(RegistryText(kClassKey & "InprocServer32\")), LCase(server)
    Check "the CLSID makes a working object", CreationResult("moniker", kClassMoniker), "works"
    progIdResult = CreationResult("ProgID", kProgId)
    Check "the ProgID makes a working object (" & kProgId & " key: " & _
          RegistryText("HKCR\" & kProgId & "\CLSID\") & ")", progIdResult, "works"
Case "unregistered"
    Check "this view holds no class key", RegistryText(kClassKey), "<absent>"
    Report "the CLSID makes no object", CreationResult("moniker", kClassMoniker) <> "works", "an object", "none"
    Report "the ProgID makes no object", CreationResult("ProgID", kProgId) <> "works", "an object", "none"
Case Else
    Report "known state", False, state, "registered, orphaned or unregistered"
End Select

Finish
