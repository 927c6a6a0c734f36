' Item members through late binding: Add, Item get/put/putref and the default member,
' Exists, Remove, Count, ItemsCount, KeysCount, Items, Keys, with one and several items a key.

Dim d, v, o, other
Set d = CreateObject("Korvo.Dictionary")

' A new object holds nothing: empty arrays have upper bound -1.
Check "new object: ItemsCount", d.ItemsCount, 0
Check "new object: KeysCount", d.KeysCount, 0
Check "new object: UBound(Items)", UBound(d.Items), -1
Check "new object: UBound(Keys)", UBound(d.Keys), -1
Check "new object: LBound(Keys)", LBound(d.Keys), 0
Check "new object: VarType(Keys) is an array of variants", VarType(d.Keys), vbArray + vbVariant

' Add and the three ways of reading an item.
d.Add "one", 1
d.Add "two", "zwei"
Check "Item get by name", d.Item("one"), 1
Check "Item get through the default member", d("two"), "zwei"
Check "Item get keeps the type", VarType(d("two")), vbString
Check "Exists on a present key", d.Exists("one"), True
Check "Exists on an absent key", d.Exists("three"), False
Check "Item get of an absent key is Empty", IsEmpty(d("three")), True
Check "Item get of an absent key does not add it", d.Exists("three"), False
Check "counts after reading an absent key", d.ItemsCount, 2

' Item put through the default member: replaces a single item, adds an absent key.
d("one") = 11
Check "default member put replaces the item", d("one"), 11
d.Item("three") = 3
Check "Item put on an absent key adds it", d("three"), 3
Check "ItemsCount after the put", d.ItemsCount, 3

' Set d("o") = obj arrives as a property putref; the object is shared, not copied.
Set o = CreateObject("Korvo.Dictionary")
o.Add "inner", "deep"
Set d("o") = o
Check "putref stores an object", IsObject(d("o")), True
Set other = d("o")
Check "the stored object is the same object", other Is o, True
Check "calls reach the stored object", d("o")("inner"), "deep"
Set other = Nothing
Set o = Nothing
Check "the stored object outlives the script's reference", d("o").Count("inner"), 1

' Optional arguments omitted: Count() is ItemsCount, Remove without ItemPos removes the key.
Check "Count() equals ItemsCount", d.Count(), d.ItemsCount
Check "Count("""") equals ItemsCount", d.Count(""), 4
Check "Count of one key", d.Count("one"), 1
Check "Count of an absent key", d.Count("nope"), 0
d.Remove "o"
Check "Remove without ItemPos", d.Exists("o"), False
d.Remove "nope"
Check "Remove of an absent key changes nothing", d.ItemsCount, 3

' Keys and Items list in key order (binary: upper case first).
Check "Keys in binary order", d.Keys, Array("one", "three", "two")
Check "Items in key order", d.Items, Array(11, 3, "zwei")

' A key with several items, once unique keys are off.
d.RemoveAll
d.UniqueKeys = False
d.Add "k", 1
d.Add "k", "second"
d.Add "a", "first key"
d.Add "k", 3
Check "several items: Count(k)", d.Count("k"), 3
Check "several items: ItemsCount", d.ItemsCount, 4
Check "several items: KeysCount", d.KeysCount, 2
Check "several items: Item get returns them in the order added", d("k"), Array(1, "second", 3)
Check "several items: Items lists every item in key order", d.Items, Array("first key", 1, "second", 3)
Check "several items: Keys lists each key once", d.Keys, Array("a", "k")

On Error Resume Next
d("k") = "replace"
CheckError "Item put on a key with several items", Err, &H80004005, "There is more values to change"
Set d("k") = d
CheckError "Item putref on a key with several items", Err, &H80004005, "There is more values to change"
On Error GoTo 0
Check "the failed put left every item", d("k"), Array(1, "second", 3)

d.Remove "k", 1
Check "Remove with any ItemPos removes the whole key", d.Exists("k"), False
Check "Remove left the other key", d.Keys, Array("a")

' A single item that is itself an array: only Count tells it from several items.
d.RemoveAll
d.Add "arr", Array("x", "y")
Check "an array item comes back whole", d("arr"), Array("x", "y")
Check "an array item is one item", d.Count("arr"), 1

' Unique mode refuses a second item and keeps the first.
Set d = CreateObject("Korvo.Dictionary")
Check "a new object is in unique mode", d.UniqueKeys, True
d.Add "k", 1
On Error Resume Next
d.Add "k", 2
CheckError "Add of a present key in unique mode", Err, &H80004005, "This key is already in collection."
On Error GoTo 0
Check "the refused Add left one item", d.Count("k"), 1
Check "the refused Add left the first value", d("k"), 1

' Keys are cut at their first NUL character; the empty key is a key and orders first.
d.Add "a" & Chr(0) & "b", "nul"
Check "a key with a NUL is stored up to the NUL", d.Exists("a"), True
d.Add "", "empty key"
Check "the empty key is valid", d(""), "empty key"
Check "the empty key orders first", d.Keys, Array("", "a", "k")

' Member names resolve whatever their letter case.
d.aDD "case", 1
Check "member names in any case", d.itemscount, d.ITEMSCOUNT

' Items of every scalar type come back with their type.
d.RemoveAll
d.Add "i2", 7
d.Add "i4", CLng(70000)
d.Add "r8", 2.5
d.Add "bool", True
d.Add "null", Null
d.Add "empty", Empty
d.Add "date", DateSerial(2024, 2, 29)
d.Add "cy", CCur("12.3456")
Check "Integer keeps VarType 2", VarType(d("i2")), vbInteger
Check "Long keeps VarType 3", VarType(d("i4")), vbLong
Check "Double keeps VarType 5", VarType(d("r8")), vbDouble
Check "Boolean keeps VarType 11", VarType(d("bool")), vbBoolean
Check "Null keeps VarType 1", VarType(d("null")), vbNull
Check "an Empty item is stored as a key", d.Exists("empty"), True
Check "Date keeps VarType 7", VarType(d("date")), vbDate
Check "Currency keeps its value", d("cy"), CCur("12.3456")

Finish
