' Save and Load: the file's size and magic, a round trip of every kind of value, SaveEmpty,
' patterns, loading into unique and non-unique objects, and the HRESULTs of bad files.
' RemoveAll with and without a pattern. Files go to the temporary folder.

Class Price
    Public Default Property Get Value
        Value = "12.50 EUR"
    End Property
End Class

Dim fso, folder, path, d, e, t, when
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path

Function TempFile(name)
    TempFile = folder & "\korvo-script-" & name
    If fso.FileExists(TempFile) Then fso.DeleteFile TempFile
End Function

Function FileSize(p)
    FileSize = fso.GetFile(p).Size
End Function

Function FirstChars(p, n)
    Dim s
    Set s = fso.OpenTextFile(p, 1, False, 0)
    FirstChars = s.Read(n)
    s.Close
End Function

Sub WriteText(p, text)
    Dim s
    Set s = fso.CreateTextFile(p, True, False)
    s.Write text
    s.Close
End Sub

' ---- the file layout ----
Set d = CreateObject("Korvo.Dictionary")
path = TempFile("empty.dic")
d.Save path
Check "an empty store saves magic and end marker: 6 bytes", FileSize(path), 6
Check "the file starts with the magic", FirstChars(path, 4), "fDIC"

d.UniqueKeys = False
d.Add "a", CLng(1)
d.Add "a", "x"
path = TempFile("example.dic")
d.Save path
Check "a Long and a one-letter string under 'a': 32 bytes", FileSize(path), 32
d.RemoveAll
d.Add "a", 1
d.Add "a", "x"
d.Save path
Check "Save replaces the file; an Integer makes it 30 bytes", FileSize(path), 30

' ---- round trip of every kind of value ----
when = DateSerial(2024, 2, 29) + TimeSerial(13, 45, 30)
Set d = CreateObject("Korvo.Dictionary")
d.Add "i2", -7
d.Add "i4", CLng(-70000)
d.Add "r4", CSng(1.5)
d.Add "r8", -2.25
d.Add "cy", CCur("-1234567.8912")
d.Add "date", when
d.Add "str", "Gr" & Chr(252) & "n, with ""quotes"""
d.Add "bool", True
d.Add "false", False
d.Add "byte", CByte(200)
d.Add "null", Null
d.Add "empty", Empty
d.Add "emptystr", ""
path = TempFile("types.dic")
d.Save path
Set e = CreateObject("Korvo.Dictionary")
e.Load path
Check "round trip: same keys in the same order", e.Keys, d.Keys
Check "round trip: same values", e.Items, d.Items
Check "round trip: Integer type", VarType(e("i2")), vbInteger
Check "round trip: Long type", VarType(e("i4")), vbLong
Check "round trip: Single type", VarType(e("r4")), vbSingle
Check "round trip: Double type", VarType(e("r8")), vbDouble
Check "round trip: Currency type", VarType(e("cy")), vbCurrency
Check "round trip: Currency value", e("cy") = CCur("-1234567.8912"), True
Check "round trip: Date type", VarType(e("date")), vbDate
Check "round trip: Date value", e("date") = when, True
Check "round trip: Boolean type", VarType(e("bool")), vbBoolean
Check "round trip: Byte type", VarType(e("byte")), vbByte
Check "round trip: Null", IsNull(e("null")), True
Check "round trip: Empty", IsEmpty(e("empty")) And e.Exists("empty"), True
Check "round trip: empty string", VarType(e("emptystr")), vbString

' Lengths are 32-bit: a string and a key longer than 65535 code units survive.
Set d = CreateObject("Korvo.Dictionary")
d.Add String(70000, "k"), String(100000, "v")
path = TempFile("long.dic")
d.Save path
Check "long key and value: the file size", FileSize(path), 4 + 2 + 4 + 200000 + 4 + 140000 + 2
Set e = CreateObject("Korvo.Dictionary")
e.Load path
Check "long key and value: the value's length", Len(e(String(70000, "k"))), 100000

' ---- several items a key; Load adds and never removes ----
Set d = CreateObject("Korvo.Dictionary")
d.UniqueKeys = False
d.Add "k", 1
d.Add "k", 2
d.Add "k", 3
d.Add "b", "bee"
path = TempFile("multi.dic")
d.Save path
Set e = CreateObject("Korvo.Dictionary")
e.UniqueKeys = False
e.Load path
Check "a key's items load back in order", e("k"), Array(1, 2, 3)
e.Load path
Check "loading twice doubles the items", e.Count("k"), 6
Set e = CreateObject("Korvo.Dictionary")
e.Add "b", "mine"
On Error Resume Next
e.Load path
CheckNumber "loading into unique mode succeeds", Err, 0
On Error GoTo 0
Check "unique mode: only the first item of a key loads", e("k"), 1
Check "unique mode: a present key keeps its own item", e("b"), "mine"

' ---- SaveEmpty: values without a text form ----
Set d = CreateObject("Korvo.Dictionary")
d.Add "arr", Array(1, 2)
d.Add "n", 1
path = TempFile("saveempty.dic")
d.Save path
Set e = CreateObject("Korvo.Dictionary")
e.Load path
Check "an array item is left out without SaveEmpty", e.Keys, Array("n")
d.Save path, True
Set e = CreateObject("Korvo.Dictionary")
e.Load path
Check "with SaveEmpty the array item is saved as Empty", e.Exists("arr") And IsEmpty(e("arr")), True

' Objects: one with a default property is saved as its text, others have no text.
Set d = CreateObject("Korvo.Dictionary")
Set d("price") = New Price
Set d("nothing") = Nothing
Set d("dict") = CreateObject("Korvo.Dictionary")
path = TempFile("objects.dic")
d.Save path
Set e = CreateObject("Korvo.Dictionary")
e.Load path
Check "an object is saved as the text of its default property", e.Keys, Array("price")
Check "and loads as a String", e("price"), "12.50 EUR"
d.Save path, True
Set e = CreateObject("Korvo.Dictionary")
e.Load path
Check "with SaveEmpty objects without text come back Empty", _
    IsEmpty(e("dict")) And IsEmpty(e("nothing")) And e.ItemsCount = 3, True

' ---- patterns ----
Set d = CreateObject("Korvo.Dictionary")
d.Add "a", 1
d.Add "abc", 2
d.Add "Abc", 3
d.Add "ba", 4
path = TempFile("pattern.dic")
d.Save path, False, "^a"
Set e = CreateObject("Korvo.Dictionary")
e.Load path
Check "Save with '^a' writes only the matching keys", e.Keys, Array("a", "abc")
d.Save path
Set e = CreateObject("Korvo.Dictionary")
e.Load path, "c$"
Check "Load with 'c$' adds only the matching keys", e.Keys, Array("Abc", "abc")
d.Save path, , "zzz"
Check "a pattern matching nothing saves an empty file", FileSize(path), 6

d.Save path
Check "the whole store: four Integer records and the frame", FileSize(path), 56
Set e = CreateObject("Korvo.Dictionary")
e.Load path, ""
Check "an empty pattern is no filter", e.ItemsCount, 4
Set e = CreateObject("Korvo.Dictionary")
On Error Resume Next
e.Load path, "("
CheckNumber "Load with a pattern that cannot compile", Err, &H8007000D
On Error GoTo 0
Check "and adds nothing", e.ItemsCount, 0
Dim unusable
Set unusable = CreateObject("Korvo.Dictionary")
unusable.Add "x", 1
On Error Resume Next
unusable.Save path, False, "("
CheckError "Save with a pattern that cannot compile fails", Err, &H8007000D, _
    "The pattern ""("" is not a valid regular expression."
On Error GoTo 0
Set e = CreateObject("Korvo.Dictionary")
e.Load path
Check "and leaves the file as it was", e.ItemsCount, 4

' ---- RemoveAll ----
Set e = CreateObject("Korvo.Dictionary")
e.Load path
e.RemoveAll "^a"
Check "RemoveAll '^a' removes keys that begin with a, case-sensitively", e.Keys, Array("Abc", "ba")
e.Load path
e.RemoveAll "a"
Check "RemoveAll 'a' removes every key containing a", e.Keys, Array("Abc")
e.Load path
e.CompareMode = 1
e.RemoveAll "^a"
Check "RemoveAll tests the stored text also in text mode", e.Keys, Array("Abc", "ba")
e.CompareMode = 0
On Error Resume Next
e.RemoveAll "("
CheckError "RemoveAll with a pattern that cannot compile fails", Err, &H8007000D, _
    "The pattern ""("" is not a valid regular expression."
On Error GoTo 0
Check "and removes nothing", e.Keys, Array("Abc", "ba")
e.Load path
e.RemoveAll
Check "RemoveAll without a pattern empties the store", e.ItemsCount + e.KeysCount, 0

' ---- files that cannot be loaded ----
Set e = CreateObject("Korvo.Dictionary")
e.Add "keep", 1
On Error Resume Next
e.Load TempFile("missing.dic")
CheckNumber "Load of a missing file", Err, &H80070002
e.Load folder & "\no-such-folder\x.dic"
CheckNumber "Load from a missing folder", Err, &H80070003
e.Save folder & "\no-such-folder\x.dic"
CheckNumber "Save into a missing folder", Err, &H80070003
path = TempFile("bad-magic.dic")
WriteText path, "fDIX and more"
e.Load path
CheckNumber "a file with another magic", Err, &H8007000D
WriteText path, "fD"
e.Load path
CheckNumber "a file shorter than the magic", Err, &H8007000D
WriteText path, "fDIC"
e.Load path
CheckNumber "a file that ends before its end marker", Err, &H80070026
On Error GoTo 0
Check "failed loads leave the store as it was", e.Keys, Array("keep")

' The files of this script go again.
On Error Resume Next
fso.DeleteFile folder & "\korvo-script-*.dic"
On Error GoTo 0

Finish
