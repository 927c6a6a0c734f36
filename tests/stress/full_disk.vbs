' Save onto a file system that fills up part-way: the Save fails with the disk-full code and
' the file that was there stays as it was, with no temporary file left beside it.
' The argument is the folder, on a small file system that the test runner has nearly filled.
Dim folder, fso, d, big, i, before, path
folder = WScript.Arguments(0)
Set fso = CreateObject("Scripting.FileSystemObject")
path = folder & "\data.dic"
before = fso.GetFile(path).Size

Set big = CreateObject("Korvo.Dictionary")
For i = 1 To 4000
    big.Add "key" & i, String(100, "x")
Next
On Error Resume Next
big.Save path
CheckNumber "Save onto a full disk fails with the disk-full code", Err, &H80070070
On Error GoTo 0
Check "the old file keeps its size", fso.GetFile(path).Size, before

Set d = CreateObject("Korvo.Dictionary")
d.Load path
Check "the old file loads whole", d.ItemsCount, 3
Check "no temporary file is left", fso.GetFolder(folder).Files.Count, 2
Finish
