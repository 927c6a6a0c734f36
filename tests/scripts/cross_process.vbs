' The lock of a named store is a named kernel semaphore: it orders clients in two processes
' that connect to the same name, while each process keeps entries of its own. The script
' runs itself as a second process (argument "child"), which reports by its exit code.

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
