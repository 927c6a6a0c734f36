' The error records that scripts read: after each failing member Err.Number holds the HRESULT,
' Err.Description the message of the module's string table and Err.Source the ProgID.
' Members that succeed raise nothing, and a failure that returns a bare HRESULT carries no
' message of this component.
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

Dim d
Set d = CreateObject("Korvo.Dictionary")

On Error Resume Next

' 109: Add of a present key in unique mode.
d.Add "k", 1
CheckNumber "Add of a new key raises nothing", Err, 0
d.Add "k", 2
CheckError "109 Add of a present key", Err, &H80004005, "This key is already in collection."

' 116: Item put and putref on a key with several items.
d.UniqueKeys = False
d.Add "k", 2
d("k") = 3
CheckError "116 Item put, two items", Err, &H80004005, "There is more values to change"
Set d("k") = d
CheckError "116 Item putref, two items", Err, &H80004005, "There is more values to change"

' 110: UniqueKeys back on while the store holds items.
d.UniqueKeys = True
CheckError "110 UniqueKeys back on", Err, &H80004005, "You can't switch back to unique keys."

' 112: CompareMode outside 0 and 1.
d.CompareMode = 7
CheckError "112 CompareMode = 7", Err, &H80070057, "Nonexist compare method."
d.CompareMode = 0
CheckNumber "CompareMode = 0 raises nothing", Err, 0

' The record's text comes with the failing call only: a later success leaves Err clear,
' and the next failure carries its own text.
d.Add "new", 1
CheckNumber "a success after a failure raises nothing", Err, 0
d.CompareMode = 3
CheckError "the next failure carries its own message", Err, &H80070057, "Nonexist compare method."

' A name the interface does not have is refused by the dispatcher, not by the member.
d.NoSuchMember 1
Report "an unknown member is refused", Err.Number <> 0, "&H" & Hex(Err.Number), "an error"
Err.Clear

' An argument the dispatcher cannot convert never reaches the member.
d.Lock "not a number"
Report "a TimeOut that is not a number is refused", Err.Number <> 0, "&H" & Hex(Err.Number), "an error"
Err.Clear

' DisConnect on a private store succeeds and leaves no record behind, so the next failure
' with a bare HRESULT does not show a stale message.
Set d = CreateObject("Korvo.Dictionary")
d.Add "x", 1
d.DisConnect
CheckNumber "DisConnect on a private store succeeds", Err, 0
d.UnLock
Report "a bare HRESULT after DisConnect carries no stale message", _
    Err.Number = &H8000000A And Err.Description <> "Unknown error.", _
    "&H" & Hex(Err.Number) & " """ & Err.Description & """", "&H8000000A without ""Unknown error."""
Err.Clear

On Error GoTo 0
Finish
