' The lock of a named store is a named kernel semaphore: it orders clients in two processes
' that connect to the same name, while each process keeps entries of its own. The script
' runs itself as a second process (argument "child"), which reports by its exit code.
Option Explicit

' ---- check helpers (the same block opens every script of this folder) ----
Dim passed, failed
passed = 0
failed = 0

' Text of a value for comparisons and messages: strings quoted, arrays in brackets, so that
' "1" and 1, "" and Empty, an array and its first element never look alike.
Function Describe(v)
    Dim s, i
    If IsArray(v) Then
        s = "["
        For i = LBound(v) To UBound(v)
            If i > LBound(v) Then s = s & ", "
            s = s & Describe(v(i))
        Next
        Describe = s & "]"
    ElseIf IsObject(v) Then
        Describe = "<object>"
    ElseIf IsNull(v) Then
        Describe = "Null"
    ElseIf IsEmpty(v) Then
        Describe = "Empty"
    ElseIf VarType(v) = vbString Then
        Describe = """" & v & """"
    Else
        Describe = CStr(v)
    End If
End Function

Sub Report(name, ok, gotText, expectedText)
    If ok Then
        passed = passed + 1
        WScript.Echo "ok - " & name
    Else
        failed = failed + 1
        WScript.Echo "not ok - " & name & ": got " & gotText & " expected " & expectedText
    End If
End Sub

Sub Check(name, got, expected)
    Report name, Describe(got) = Describe(expected), Describe(got), Describe(expected)
End Sub

' A failure that leaves an error record: number, description and source, then clears Err.
Sub CheckError(name, e, number, description)
    Dim got, want
    got = "&H" & Hex(e.Number) & " """ & e.Description & """ from """ & e.Source & """"
    want = "&H" & Hex(number) & " """ & description & """ from ""Korvo.Dictionary"""
    Report name, got = want, got, want
    e.Clear
End Sub

' A result that is a bare HRESULT (or success, number 0): the number only, then clears Err.
Sub CheckNumber(name, e, number)
    Report name, e.Number = number, "&H" & Hex(e.Number), "&H" & Hex(number)
    e.Clear
End Sub

Sub Finish()
    WScript.Echo "# script-result: " & passed & " passed, " & failed & " failed"
    WScript.Quit failed
End Sub
' ---- end of check helpers ----

Const StoreName = "cross_process.store"

' The child: 1 when the lock was busy, 2 when it was free, +10 when it saw the parent's item.
Function ChildProbe()
    Dim d, code
    Set d = CreateObject("Korvo.Dictionary")
    d.Connect StoreName
    code = 0
    On Error Resume Next
    d.Lock 0
    If Err.Number = &H80070079 Then
        code = 1
    ElseIf Err.Number = 0 Then
        code = 2
        d.UnLock
    End If
    On Error GoTo 0
    If d.Exists("parent") Then code = code + 10
    ChildProbe = code
End Function

Function RunChild()
    Dim shell
    Set shell = CreateObject("WScript.Shell")
    RunChild = shell.Run("""" & WScript.FullName & """ //nologo """ & WScript.ScriptFullName & """ child", 0, True)
End Function

If WScript.Arguments.Count > 0 Then
    WScript.Quit ChildProbe()
End If

Dim d
Set d = CreateObject("Korvo.Dictionary")
d.Connect StoreName
d.Add "parent", 1
Check "a child process while the store's lock is free: free, no shared entries", RunChild(), 2
d.Lock 0
Check "a child process while this process holds the lock: busy", RunChild(), 1
d.UnLock
Check "after UnLock the child takes the lock again", RunChild(), 2

Finish
