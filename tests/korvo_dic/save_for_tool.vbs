' Saves a store with one item of each kind a script can make to the file named by the first
' argument, for korvo-dic to verify and dump (saved_by_component.sh).
Dim d, path
path = WScript.Arguments(0)
Set d = CreateObject("Korvo.Dictionary")
d.UniqueKeys = False
d.Add "bool", True
d.Add "byte", CByte(200)
d.Add "currency", CCur("12.5")
d.Add "date", DateSerial(2024, 2, 29) + TimeSerial(13, 45, 30)
d.Add "double", CDbl(-0.1)
d.Add "empty", Empty
d.Add "integer", CInt(-7)
d.Add "long", CLng(2000000000)
d.Add "null", Null
d.Add "single", CSng(1.5)
d.Add "string", "say ""hi"""
d.Add "string", ""
d.Add "array", Array(1, 2)
d.Save path
Check "the store is saved", d.Count, 13
Finish
