' The dictionary file byte for byte: files written by Save are read back as bytes, and files
' made byte by byte here are given to Load. The temporary folder's text streams in the ANSI
' code page carry each byte as one character (Chr/Asc), so no binary stream is needed.

Dim fso, path, d
Set fso = CreateObject("Scripting.FileSystemObject")
path = fso.GetSpecialFolder(2).Path & "\korvo-script-format.dic"

' The file's bytes as "66 44 49 43 ..." (upper-case hex, one space between bytes).
Function FileBytes(p)
    Dim s, text, i, out
    Set s = fso.OpenTextFile(p, 1, False, 0)
    If s.AtEndOfStream Then text = "" Else text = s.ReadAll
    s.Close
    out = ""
    For i = 1 To Len(text)
        If i > 1 Then out = out & " "
        out = out & Right("0" & Hex(Asc(Mid(text, i, 1))), 2)
    Next
    FileBytes = out
End Function

' Writes the bytes given as "66 44 ..." to the file.
Sub WriteBytes(p, hexText)
    Dim parts, i, text, s
    parts = Split(hexText, " ")
    text = ""
    For i = 0 To UBound(parts)
        text = text & Chr(CInt("&H" & parts(i)))
    Next
    Set s = fso.CreateTextFile(p, True, False)
    s.Write text
    s.Close
End Sub

Function Saved(dict)
    dict.Save path
    Saved = FileBytes(path)
End Function

Const Magic = "66 44 49 43"
Const EndMarker = "FF FF"
Const KeyA = "01 00 00 00 61 00"

' ---- what Save writes ----
Set d = CreateObject("Korvo.Dictionary")
Check "an empty store", Saved(d), Magic & " " & EndMarker
d.UniqueKeys = False
d.Add "a", CLng(1)
d.Add "a", "x"
Check "the key 'a' with the Long 1 and the string 'x'", Saved(d), _
    Magic & " 03 00 01 00 00 00 " & KeyA & " 08 00 01 00 00 00 78 00 " & KeyA & " " & EndMarker

Dim values, expected, i
values = Array(1, True, False, CByte(200), CSng(-1.5), -2.5, Null, Empty, "", CCur(1))
expected = Array("02 00 01 00", "0B 00 FF FF", "0B 00 00 00", "11 00 C8 00 00 00", "04 00 00 00 C0 BF", _
                 "05 00 00 00 00 00 00 00 04 C0", "01 00", "00 00", "08 00 00 00 00 00", _
                 "06 00 10 27 00 00 00 00 00 00")
For i = 0 To UBound(values)
    Set d = CreateObject("Korvo.Dictionary")
    d.Add "a", values(i)
    Check "the record of " & TypeName(values(i)) & " " & Describe(values(i)), Saved(d), _
        Magic & " " & expected(i) & " " & KeyA & " " & EndMarker
Next

Set d = CreateObject("Korvo.Dictionary")
d.Add "b" & Chr(233), 1
Check "keys are UTF-16 code units", Saved(d), Magic & " 02 00 01 00 02 00 00 00 62 00 E9 00 " & EndMarker
Set d = CreateObject("Korvo.Dictionary")
d.UniqueKeys = False
d.Add "b", 2
d.Add "a", 1
d.Add "b", 3
Check "records in key order, one per item, each with its key", Saved(d), _
    Magic & " 02 00 01 00 " & KeyA & " 02 00 02 00 01 00 00 00 62 00 02 00 03 00 01 00 00 00 62 00 " & EndMarker

' ---- what Load reads ----
Set d = CreateObject("Korvo.Dictionary")
d.UniqueKeys = False
WriteBytes path, Magic & " 03 00 01 00 00 00 " & KeyA & " 08 00 01 00 00 00 78 00 " & KeyA & " " & EndMarker
d.Load path
Check "the worked example loads as two items", d("a"), Array(1, "x")
values = d("a")
Check "the first as a Long", VarType(values(0)), vbLong

Set d = CreateObject("Korvo.Dictionary")
WriteBytes path, Magic & " 11 00 C8 11 22 33 " & KeyA & " " & EndMarker
d.Load path
Check "a byte record uses the first of its four bytes", d("a"), 200
Set d = CreateObject("Korvo.Dictionary")
WriteBytes path, Magic & " 0B 00 FF FF " & KeyA & " " & EndMarker & " 03 00 67 61 72 62"
On Error Resume Next
d.Load path
CheckNumber "bytes after the end marker are never read", Err, 0
On Error GoTo 0
Check "a Boolean record", d("a"), True

Set d = CreateObject("Korvo.Dictionary")
On Error Resume Next
WriteBytes path, Magic & " 02 00 01 00 " & KeyA
d.Load path
CheckNumber "whole records without the end marker", Err, &H80070026
Check "are added", d.Keys, Array("a")
WriteBytes path, Magic & " 02 00 07 00 01 00 00 00 62 00 08 00 05 00 00 00 41 00"
d.Load path
CheckNumber "a record cut inside its string", Err, &H80070026
Check "adds the records before it", d.Keys, Array("a", "b")
WriteBytes path, Magic & " 03 00 01 00 00 00 FF FF FF 7F 61 00 " & EndMarker
d.Load path
Report "a key length beyond the file fails", Err.Number = &H80070026 Or Err.Number = &H80070008, _
    "&H" & Hex(Err.Number), "&H80070026 or &H80070008"
Err.Clear
WriteBytes path, Magic & " 02 00 05 00 01 00 00 00 63 00 09 00 " & KeyA & " " & EndMarker
d.Load path
CheckNumber "a tag the writer never produces stops the load", Err, &H8007000D
Check "after the records before it", d.Keys, Array("a", "b", "c")
WriteBytes path, "66 44 49"
d.Load path
CheckNumber "three bytes of magic", Err, &H8007000D
On Error GoTo 0
Check "the failed loads added nothing more", d.ItemsCount, 3

On Error Resume Next
fso.DeleteFile path
On Error GoTo 0

Finish
