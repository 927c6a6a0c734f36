' For Each over a Dictionary: it yields the items (not the keys) of a snapshot taken when
' the loop starts, every item of a key with several, in key order.

Dim d, v, seen, o, n

Function Listed(dict)
    Dim s, item
    s = ""
    For Each item In dict
        s = s & "<" & Describe(item) & ">"
    Next
    Listed = s
End Function

Set d = CreateObject("Korvo.Dictionary")
Check "an empty dictionary yields nothing", Listed(d), ""

d.UniqueKeys = False
d.Add "b", 3
d.Add "a", 1
d.Add "a", 2
Check "items in key order, a key's items in the order added", Listed(d), "<1><2><3>"

' The loop works on a snapshot: changes made inside it do not reach it.
seen = ""
For Each v In d
    seen = seen & "<" & v & ">"
    d.Add "c", 99
    d.Remove "b"
Next
Check "changes during the loop do not reach it", seen, "<1><2><3>"
Check "but they reached the store", d.Keys, Array("a", "c")

' Objects are yielded as the same object, strings as values.
Set d = CreateObject("Korvo.Dictionary")
Set o = CreateObject("Korvo.Dictionary")
o.Add "tag", "inner"
Set d("o") = o
d("s") = "text"
n = 0
For Each v In d
    If IsObject(v) Then
        If v Is o Then n = n + 1
    ElseIf v = "text" Then
        n = n + 10
    End If
Next
Check "an object item is yielded as the same object, a string as its text", n, 11

' The snapshot outlives the store: emptying and releasing the object inside the loop.
Set d = CreateObject("Korvo.Dictionary")
d.Add "a", "x"
d.Add "b", "y"
d.Add "c", "z"
seen = ""
For Each v In d
    seen = seen & v
    If Not d Is Nothing Then
        d.RemoveAll
        Set d = Nothing
    End If
Next
Check "the loop goes on after RemoveAll and the release of the object", seen, "xyz"

' An exit from the middle of a loop leaves nothing behind: a second loop starts afresh.
Set d = CreateObject("Korvo.Dictionary")
d.Add "1", "first"
d.Add "2", "second"
For Each v In d
    Exit For
Next
Check "a loop left early does not disturb the next one", Listed(d), "<""first""><""second"">"

Finish
