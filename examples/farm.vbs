' A named store that several processes share on a store server, as the servers of a web farm
' would. The administrator maps the prefix "farm:" to a server (the registry, or the file that
' KORVO_REMOTE_STORES names); the script only connects to "farm:tour". tools/farm-tour runs it
' in several processes at once against a server of its own.
'
'   cscript //nologo farm.vbs reset           empty the store, counter = 0
'   cscript //nologo farm.vbs work <who> <n>  n increments of the counter under the lock
'   cscript //nologo farm.vbs show            the counter and who took part
Option Explicit

Dim d, who, rounds, i, keys, failure
Set d = CreateObject("Korvo.Dictionary")
d.Connect "farm:tour"

' One read-modify-write under the farm-wide lock. The lock outlives the object, so it is freed
' on the error path too before the error is passed on.
Sub Increment()
    d.Lock 20000
    On Error Resume Next
    d("counter") = d("counter") + 1
    failure = Err.Number
    On Error GoTo 0
    d.UnLock
    If failure <> 0 Then Err.Raise failure
End Sub

Select Case WScript.Arguments(0)
Case "reset"
    d.RemoveAll
    d("counter") = 0
Case "work"
    who = WScript.Arguments(1)
    rounds = CLng(WScript.Arguments(2))
    For i = 1 To rounds
        Increment
    Next
    d(who) = rounds & " increments"
Case "show"
    WScript.Echo "counter = " & d("counter")
    keys = d.Keys
    For i = 0 To UBound(keys)
        If keys(i) <> "counter" Then WScript.Echo keys(i) & ": " & d(keys(i))
    Next
End Select
