' The error records that scripts read: after each failing member Err.Number holds the HRESULT,
' Err.Description the message of the module's string table and Err.Source the ProgID.
' Members that succeed raise nothing, and a failure that returns a bare HRESULT carries no
' message of this component.

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
