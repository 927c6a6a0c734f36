' Key rename, UniqueKeys and CompareMode, and the order of keys in both compare modes.
' CompareMode is one setting for the whole process: every part that changes it sets it back.

Const BinaryCompare = 0
Const TextCompare = 1

Function Filled(keys)
    Dim d, i
    Set d = CreateObject("Korvo.Dictionary")
    d.UniqueKeys = False
    For i = 0 To UBound(keys)
        d.Add keys(i), i
    Next
    Set Filled = d
End Function

Dim d, e, keys
Set d = CreateObject("Korvo.Dictionary")

' ---- CompareMode ----
Check "CompareMode starts as BinaryCompare", d.CompareMode, BinaryCompare
keys = Array("b", "B", "apple", "_x", "A", "Zebra", "ab", "a")
Check "binary order: upper case, then [\]^_`, then lower case", Filled(keys).Keys, _
    Array("A", "B", "Zebra", "_x", "a", "ab", "apple", "b")
Set d = Filled(keys)
Check "binary mode: a and A are two keys", d.KeysCount, 8

d.CompareMode = TextCompare
Set e = CreateObject("Korvo.Dictionary")
Check "CompareMode is process-wide", e.CompareMode, TextCompare
keys = Array("Zebra", "apple", "_x", "Mango", "ab", "a")
Check "text order: [\]^_` before letters, case folded", Filled(keys).Keys, _
    Array("_x", "a", "ab", "apple", "Mango", "Zebra")
Set d = Filled(Array("k", "k", "K"))
Check "text mode: k and K are one key", d.KeysCount, 1
Check "text mode: the group keeps the order added", d("K"), Array(0, 1, 2)
Check "text mode: the key listed is the earliest text", d.Keys, Array("k")
Set d = Filled(Array("e" & Chr(233)))
d.Add "E" & Chr(201), 1
Check "text mode folds ASCII letters only", d.KeysCount, 2
Set d = CreateObject("Korvo.Dictionary")
d.Add "abc", 1
d("ABC") = 2
Check "text mode: Item put through another case replaces", d.Items, Array(2)
Check "text mode: Item put keeps the stored key text", d.Keys, Array("abc")
On Error Resume Next
d.Add "ABC", 3
CheckError "text mode: Add of a case variant in unique mode", Err, &H80004005, "This key is already in collection."
On Error GoTo 0

On Error Resume Next
d.CompareMode = 2
CheckError "CompareMode = 2", Err, &H80070057, "Nonexist compare method."
d.CompareMode = -1
CheckError "CompareMode = -1", Err, &H80070057, "Nonexist compare method."
On Error GoTo 0
Check "a refused CompareMode leaves the mode", d.CompareMode, TextCompare
d.CompareMode = BinaryCompare
Check "CompareMode back to binary", e.CompareMode, BinaryCompare

'

' A store filled under one mode is re-sorted when the mode changes: as if its entries were
' added anew in their original order.
Set d = Filled(Array("b", "A", "a", "_"))
Check "binary: four keys", d.Keys, Array("A", "_", "a", "b")
d.CompareMode = TextCompare
Check "after switching to text: one group for A and a, _ first", d.Keys, Array("_", "A", "b")
Check "after switching to text: the group's items in insertion order", d("a"), Array(1, 2)
d.CompareMode = BinaryCompare
Check "after switching back: four keys again", d.Keys, Array("A", "_", "a", "b")

' A bigger store: pseudo-random keys come back strictly ascending, once each.
Dim big, seed, i, k, ascending
Set big = CreateObject("Korvo.Dictionary")
seed = 12345
For i = 1 To 3000
    seed = (seed * 1103 + 12345) Mod 65536
    big("k" & Hex(seed)) = i
Next
k = big.Keys
ascending = True
For i = 1 To UBound(k)
    If StrComp(k(i - 1), k(i), vbBinaryCompare) >= 0 Then ascending = False
Next
Check "3000 puts: Keys strictly ascending", ascending, True
Check "3000 puts: one entry per distinct key", big.ItemsCount, UBound(k) + 1

' ---- Key rename ----
Set d = CreateObject("Korvo.Dictionary")
d.UniqueKeys = False
d.Add "a", 1
d.Add "a", 2
d.Add "b", 3
d.Key("a") = "b"
Check "rename onto a present key appends the items", d("b"), Array(3, 1, 2)
Check "rename removes the old key", d.Exists("a"), False
d.Key("b") = "c"
Check "rename to a new key moves every item", d("c"), Array(3, 1, 2)
Check "rename to a new key: keys", d.Keys, Array("c")
d.Key("absent") = "x"
Check "rename of an absent key changes nothing", d.Keys, Array("c")
d.Key("c") = "c"
Check "rename to itself keeps the items", d("c"), Array(3, 1, 2)
d.Key("c") = ""
Check "rename to the empty string", d(""), Array(3, 1, 2)

Set d = CreateObject("Korvo.Dictionary")
d.Add "x", 1
d.Add "y", 2
d.Key("x") = "y"
Check "unique mode: rename onto a present key still merges", d.Count("y"), 2
On Error Resume Next
d("y") = 5
CheckError "Item put after a merging rename", Err, &H80004005, "There is more values to change"
On Error GoTo 0

d.CompareMode = TextCompare
Set d = CreateObject("Korvo.Dictionary")
d.Add "abc", 1
d.Key("abc") = "ABC"
Check "text mode: rename to a case variant keeps the item", d("abc"), 1
Check "text mode: rename to a case variant changes the text", d.Keys, Array("ABC")
d.CompareMode = BinaryCompare

' ---- UniqueKeys ----
Set d = CreateObject("Korvo.Dictionary")
d.Add "k", 1
d.UniqueKeys = True
Check "setting true while true succeeds with items stored", d.UniqueKeys, True
d.UniqueKeys = False
Check "switching unique keys off", d.UniqueKeys, False
On Error Resume Next
d.UniqueKeys = True
CheckError "switching unique keys back on with one item", Err, &H80004005, "You can't switch back to unique keys."
On Error GoTo 0
Check "the refused switch keeps the flag off", d.UniqueKeys, False
d.RemoveAll
d.UniqueKeys = True
Check "switching back on once the store is empty", d.UniqueKeys, True

' The flag belongs to the object, not to the store.
Set d = CreateObject("Korvo.Dictionary")
Set e = CreateObject("Korvo.Dictionary")
d.Connect "keys_and_modes.flag"
e.Connect "keys_and_modes.flag"
d.UniqueKeys = False
d.Add "k", 1
d.Add "k", 2
Check "the other object keeps unique mode", e.UniqueKeys, True
On Error Resume Next
e.Add "k", 3
CheckError "the object in unique mode refuses", Err, &H80004005, "This key is already in collection."
On Error GoTo 0
Check "the store has the two items of the first object", e.Count("k"), 2
e.UniqueKeys = False
d.RemoveAll
e.Add "other", 1
On Error Resume Next
d.UniqueKeys = True
CheckError "switching back on counts items added through another object", Err, &H80004005, _
    "You can't switch back to unique keys."
On Error GoTo 0

Finish
