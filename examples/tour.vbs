' A tour of Korvo.Dictionary: every capability once, with what it does and what comes back.
' Run it with:  cscript //nologo tour.vbs   (after regsvr32 Korvod.dll)
Option Explicit

Dim d, other, cart, item, path, fso, result, started

Sub Say(text)
    WScript.Echo text
End Sub

Sub Section(title)
    WScript.Echo ""
    WScript.Echo "== " & title
End Sub

' Arrays print as [a, b, c]; strings in quotes, so the types stay visible.
Function Show(v)
    Dim s, i
    If IsArray(v) Then
        s = "["
        For i = 0 To UBound(v)
            If i > 0 Then s = s & ", "
            s = s & Show(v(i))
        Next
        Show = s & "]"
    ElseIf IsObject(v) Then
        Show = "<object>"
    ElseIf IsNull(v) Then
        Show = "Null"
    ElseIf IsEmpty(v) Then
        Show = "Empty"
    ElseIf VarType(v) = vbString Then
        Show = """" & v & """"
    Else
        Show = CStr(v)
    End If
End Function

' Reports the outcome of the statement just run under On Error Resume Next.
Sub Outcome(what)
    If Err.Number = 0 Then
        Say "   " & what & ": ok"
    ElseIf Err.Description = "" Then
        Say "   " & what & ": error &H" & Hex(Err.Number) & " (a bare HRESULT, no message)"
    Else
        Say "   " & what & ": error &H" & Hex(Err.Number) & " """ & Err.Description & """" & _
            " (source """ & Err.Source & """)"
    End If
    Err.Clear
End Sub

Say "Korvo.Dictionary tour"
Set d = CreateObject("Korvo.Dictionary")

Section "Keys and items"
d.Add "banana", 3
d.Add "apple", 5
d("cherry") = 12
Say "   Add banana=3, apple=5; d(""cherry"") = 12 adds through the default member"
Say "   d(""apple"") = " & Show(d("apple")) & ", Exists(""kiwi"") = " & d.Exists("kiwi")
Say "   d(""kiwi"") of an absent key = " & Show(d("kiwi")) & " (and it is not added)"
Say "   Keys  = " & Show(d.Keys) & "   (always sorted)"
Say "   Items = " & Show(d.Items)
Say "   ItemsCount = " & d.ItemsCount & ", KeysCount = " & d.KeysCount & ", Count() = " & d.Count()

Section "Several items under one key (UniqueKeys = False)"
Say "   A new object has UniqueKeys = " & d.UniqueKeys & ": a second Add of a key is refused"
On Error Resume Next
d.Add "apple", 6
Outcome "Add ""apple"" again"
On Error GoTo 0
d.UniqueKeys = False
d.Add "apple", 6
d.Add "apple", "green"
Say "   After UniqueKeys = False and two more Adds:"
Say "   d(""apple"") = " & Show(d("apple")) & ", Count(""apple"") = " & d.Count("apple")
Say "   Items = " & Show(d.Items) & ", ItemsCount = " & d.ItemsCount & ", KeysCount = " & d.KeysCount
On Error Resume Next
d("apple") = 0
Outcome "d(""apple"") = 0 on a key with three items"
d.UniqueKeys = True
Outcome "UniqueKeys = True while items are stored"
On Error GoTo 0

Section "Renaming a key and removing"
d.Key("apple") = "pear"
Say "   Key(""apple"") = ""pear"" moves all three items: Keys = " & Show(d.Keys)
d.Remove "banana"
Say "   Remove ""banana"": Keys = " & Show(d.Keys)

Section "For Each yields the items"
For Each item In d
    Say "   item " & Show(item)
Next

Section "Objects as items"
Set other = CreateObject("Korvo.Dictionary")
other.Add "note", "kept by reference"
Set d("box") = other
Say "   Set d(""box"") = other; d(""box"")(""note"") = " & Show(d("box")("note"))
Say "   The same object? " & (d("box") Is other)
d.Remove "box"

Section "Sorting: binary and text compare modes"
Set d = CreateObject("Korvo.Dictionary")
d.Add "cherry", 1
d.Add "Date", 2
d.Add "apple", 3
d.Add "Banana", 4
d.Add "_note", 5
Say "   CompareMode = " & d.CompareMode & " (binary, by UTF-16 code unit): " & Show(d.Keys)
d.CompareMode = 1
Say "   CompareMode = " & d.CompareMode & " (text, ASCII case folded):   " & Show(d.Keys)
Say "   (changing the mode re-sorts the stores that hold items; it applies to every object)"
Say "   d(""APPLE"") = " & Show(d("APPLE")) & " in text mode"
On Error Resume Next
d.CompareMode = 2
Outcome "CompareMode = 2"
On Error GoTo 0
d.CompareMode = 0
Say "   CompareMode is one setting for the whole process: set back to " & d.CompareMode

Section "A named store shared by two objects"
Set cart = CreateObject("Korvo.Dictionary")
Set other = CreateObject("Korvo.Dictionary")
cart.Connect "tour.cart"
other.Connect "tour.cart"
cart.Add "socks", 2
other("shoes") = 1
Say "   Both Connect ""tour.cart""; cart adds socks, other adds shoes"
Say "   cart.Keys = " & Show(cart.Keys) & ", other.Keys = " & Show(other.Keys)
Say "   RefCounter = " & cart.RefCounter & " objects bound to the store"
other.DisConnect
Say "   other.DisConnect: other.ItemsCount = " & other.ItemsCount & ", cart.ItemsCount = " & cart.ItemsCount
other.Connect "tour.cart"

Section "Lock with a time-out"
result = cart.Lock(0)
Say "   cart.Lock(0) takes the free lock"
On Error Resume Next
other.Lock 0
Outcome "other.Lock 0 while cart holds it"
started = Timer
other.Lock 200
Outcome "other.Lock 200 (waited " & FormatNumber(Timer - started, 2) & " s)"
On Error GoTo 0
other("socks") = 3
Say "   The lock is advisory: other still changed socks to " & Show(cart("socks"))
cart.UnLock
result = other.Lock(0)
Say "   cart.UnLock; now other.Lock(0) succeeds"
other.UnLock
On Error Resume Next
other.UnLock
Outcome "other.UnLock of a free lock"
On Error GoTo 0
Say "   DebugInfo: " & Replace(cart.DebugInfo, "<br>", "")

Section "Save and Load with a pattern"
Set fso = CreateObject("Scripting.FileSystemObject")
path = fso.GetSpecialFolder(2).Path & "\korvo-tour.dic"
Set d = CreateObject("Korvo.Dictionary")
d.Add "apple", 1
d.Add "apricot", CLng(2)
d.Add "avocado", "green"
d.Add "banana", 2.5
d.Add "cherry", DateSerial(2024, 6, 1)
d.Save path
Say "   Save " & path & ": " & fso.GetFile(path).Size & " bytes"
Set other = CreateObject("Korvo.Dictionary")
other.Load path
Say "   Load into a new object: Keys = " & Show(other.Keys)
Say "   types kept: " & TypeName(other("apple")) & ", " & TypeName(other("apricot")) & ", " & _
    TypeName(other("banana")) & ", " & TypeName(other("cherry"))
d.Save path, False, "^ap"
Set other = CreateObject("Korvo.Dictionary")
other.Load path
Say "   Save with pattern ""^ap"" then Load: Keys = " & Show(other.Keys)
d.Save path
Set other = CreateObject("Korvo.Dictionary")
other.Load path, "o"
Say "   Save all, Load with pattern ""o"": Keys = " & Show(other.Keys)
On Error Resume Next
other.Load path & ".missing"
Outcome "Load of a missing file"
On Error GoTo 0
fso.DeleteFile path

Section "RemoveAll with a pattern"
d.RemoveAll "^a"
Say "   RemoveAll ""^a"": Keys = " & Show(d.Keys)
d.RemoveAll
Say "   RemoveAll: ItemsCount = " & d.ItemsCount & ", UBound(Keys) = " & UBound(d.Keys)

Say ""
Say "End of the tour."
