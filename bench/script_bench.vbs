' Per-call cost of the members from VBScript: N calls of each operation on one dictionary of
' the given ProgID, timed with the empty loop's cost taken off. Prints one line per operation,
'   figure script.<progid>.<operation>.<N> <seconds net of the loop> s
' and the loop itself as script.<progid>.loop.<N>. A net time at or below zero (an operation
' cheaper than the timer can tell from the loop) is printed as 0 and marked so.
' With a store name and a label after N, the dictionary first connects to that named store
' (emptied first), and the figures are named script.<label>.* instead.
'
'   cscript //nologo script_bench.vbs <progid> <N> [<store name> <label>]
Option Explicit
Dim progId, n, d, i, started, loopTime, keys, label
progId = WScript.Arguments(0)
n = CLng(WScript.Arguments(1))
label = progId
If WScript.Arguments.Count >= 4 Then label = WScript.Arguments(3)
ReDim keys(n - 1)
For i = 0 To n - 1
    keys(i) = "key-" & ((i * 7919) Mod 1000003) & "-" & i
Next

Sub Emit(operation, seconds)
    Dim net, note
    net = seconds - loopTime
    note = ""
    If operation = "loop" Then net = seconds
    If net <= 0 Then
        net = 0
        note = " (at or below the loop's cost)"
    End If
    WScript.Echo "figure script." & label & "." & operation & "." & n & " " & net & " s" & note
End Sub

Dim v
started = Timer
For i = 0 To n - 1
    v = keys(i)
Next
loopTime = Timer - started
Emit "loop", loopTime

Set d = CreateObject(progId)
If WScript.Arguments.Count >= 4 Then
    d.Connect WScript.Arguments(2)
    d.RemoveAll
End If
started = Timer
For i = 0 To n - 1
    d.Add keys(i), i
Next
Emit "Add", Timer - started

started = Timer
For i = 0 To n - 1
    v = d.Item(keys(i))
Next
Emit "ItemGet", Timer - started

started = Timer
For i = 0 To n - 1
    d.Item(keys(i)) = i + 1
Next
Emit "ItemPut", Timer - started

started = Timer
For i = 0 To n - 1
    v = d.Exists(keys(i))
Next
Emit "Exists", Timer - started

started = Timer
For i = 0 To n - 1
    v = d.Count
Next
Emit "Count", Timer - started

started = Timer
For i = 0 To n - 1
    d.Remove keys(i)
Next
Emit "Remove", Timer - started
