' Per-call cost of the members from VBScript: N calls of each operation on one dictionary of
' the given ProgID, timed with the empty loop's cost taken off. Prints one line per operation,
'   figure script.<label>.<operation>.<N> <seconds for N calls, net of the loop> s
' and the loop itself as script.<label>.loop.<N>. The script host's Timer moves in steps of
' 1/64 s, so a small N is timed over several passes (at least 200,000 calls in all) and the
' figure is the time of one pass. A net time at or below zero (an operation cheaper than the
' timer can tell from the loop) is printed as 0 and marked so.
' With a store name and a label after N, the dictionary first connects to that named store
' (emptied first) and makes one pass, and the figures are named script.<label>.* instead;
' the label is the ProgID otherwise.
'
'   cscript //nologo script_bench.vbs <progid> <N> [<store name> <label>]
Option Explicit
Dim progId, n, d, i, pass, passes, started, spent, loopTime, keys, label, v
progId = WScript.Arguments(0)
n = CLng(WScript.Arguments(1))
label = progId
If WScript.Arguments.Count >= 4 Then label = WScript.Arguments(3)
passes = 200000 \ n
If passes < 1 Then passes = 1
' A remote call is far above the timer's step: one pass.
If WScript.Arguments.Count >= 4 Then passes = 1
ReDim keys(n - 1)
For i = 0 To n - 1
    keys(i) = "key-" & ((i * 7919) Mod 1000003) & "-" & i
Next

Sub Emit(operation, seconds)
    Dim net, note
    net = seconds / passes - loopTime
    note = ""
    If operation = "loop" Then net = seconds / passes
    If net <= 0 Then
        net = 0
        note = " (at or below the loop's cost)"
    End If
    WScript.Echo "figure script." & label & "." & operation & "." & n & " " & net & " s" & note
End Sub

' Seconds since `started`, across midnight too.
Function Since(started)
    Since = Timer - started
    If Since < 0 Then Since = Since + 86400
End Function

started = Timer
For pass = 1 To passes
    For i = 0 To n - 1
        v = keys(i)
    Next
Next
spent = Since(started)
loopTime = 0
Emit "loop", spent
loopTime = spent / passes

Set d = CreateObject(progId)
If WScript.Arguments.Count >= 4 Then
    d.Connect WScript.Arguments(2)
End If
d.RemoveAll

' Add and Remove need the store empty or full before each pass: that part is not timed.
spent = 0
For pass = 1 To passes
    If pass > 1 Then d.RemoveAll
    started = Timer
    For i = 0 To n - 1
        d.Add keys(i), i
    Next
    spent = spent + Since(started)
Next
Emit "Add", spent

started = Timer
For pass = 1 To passes
    For i = 0 To n - 1
        v = d.Item(keys(i))
    Next
Next
Emit "ItemGet", Since(started)

started = Timer
For pass = 1 To passes
    For i = 0 To n - 1
        d.Item(keys(i)) = i + pass
    Next
Next
Emit "ItemPut", Since(started)

started = Timer
For pass = 1 To passes
    For i = 0 To n - 1
        v = d.Exists(keys(i))
    Next
Next
Emit "Exists", Since(started)

started = Timer
For pass = 1 To passes
    For i = 0 To n - 1
        v = d.Count
    Next
Next
Emit "Count", Since(started)

spent = 0
For pass = 1 To passes
    If pass > 1 Then
        For i = 0 To n - 1
            d.Add keys(i), i
        Next
    End If
    started = Timer
    For i = 0 To n - 1
        d.Remove keys(i)
    Next
    spent = spent + Since(started)
Next
Emit "Remove", spent
