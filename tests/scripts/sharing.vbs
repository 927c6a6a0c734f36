' Named stores shared by several objects (Connect, DisConnect, RefCounter, DebugInfo) and the
' advisory lock (Lock with and without a time-out, UnLock through any object of the store).

Dim a, b, c, n, r, started, elapsed, info

' ---- Connect and named stores ----
Set a = CreateObject("Korvo.Dictionary")
Set b = CreateObject("Korvo.Dictionary")
a.Connect "sharing.cart"
b.Connect "sharing.cart", "any server name"
a.Add "apple", 3
Check "an item added through one object is read through the other", b("apple"), 3
Check "and counted through it", b.ItemsCount, 1
b("pear") = 5
Check "and changes made through the other come back", a.Keys, Array("apple", "pear")
n = 0
For Each c In b
    n = n + c
Next
Check "and enumerated through it", n, 8
Check "RefCounter counts the two bound objects", a.RefCounter, 2

a.Connect "sharing.cart"
Check "Connect to the same name twice changes nothing", a.ItemsCount, 2

Set c = CreateObject("Korvo.Dictionary")
c.Connect "sharing.Cart"
Check "store names are case-sensitive", c.ItemsCount, 0
c.CompareMode = 1
c.Connect "sharing.CART"
Check "also in text compare mode", c.ItemsCount, 0
c.CompareMode = 0

Set c = CreateObject("Korvo.Dictionary")
c.Add "private", 1
c.Connect "sharing.cart"
Check "connecting drops the private items", c.Exists("private"), False
Check "and shows the named store", c.ItemsCount, 2
Check "RefCounter with three objects bound", c.RefCounter, 3

' DisConnect: the object goes on with a new, empty private store; the others keep the store.
a.DisConnect
Check "after DisConnect the object's store is empty", a.ItemsCount, 0
Check "after DisConnect the other objects keep every item", b.ItemsCount, 2
Check "RefCounter of the private store", a.RefCounter, 1
Check "RefCounter of the named store after one left", b.RefCounter, 2
a.Add "mine", 1
Check "the new private store is not the named one", b.Exists("mine"), False

' A named store outlives its objects while the library stays loaded.
Set b = Nothing
Set c = Nothing
Set a = CreateObject("Korvo.Dictionary")
a.Connect "sharing.cart"
Check "a later object finds the entries left in the store", a("pear"), 5

' Two new objects never share; the empty name is a name like any other; a NUL ends the name.
Set a = CreateObject("Korvo.Dictionary")
Set b = CreateObject("Korvo.Dictionary")
a.Add "k", 1
Check "private stores are separate", b.Exists("k"), False
a.Connect ""
b.Connect ""
a.Add "k", 1
Check "the empty name is shared", b.Exists("k"), True
a.Connect "sharing.nul" & Chr(0) & "tail"
b.Connect "sharing.nul"
a.Add "k", 2
Check "a NUL ends the store name", b("k"), 2

' A name that is no valid kernel object name still names a shared store, but each object
' then gets a lock of its own; a valid prefixed name shares its lock.
Set a = CreateObject("Korvo.Dictionary")
Set b = CreateObject("Korvo.Dictionary")
a.Connect "sharing\bad name"
b.Connect "sharing\bad name"
a.Add "k", 1
Check "an invalid kernel object name still shares entries", b.Exists("k"), True
On Error Resume Next
a.Lock 0
b.Lock 0
CheckNumber "but each object has its own lock", Err, 0
a.UnLock
b.UnLock
CheckNumber "and frees its own", Err, 0
Set a = CreateObject("Korvo.Dictionary")
Set b = CreateObject("Korvo.Dictionary")
a.Connect "Local\sharing.prefixed"
b.Connect "Local\sharing.prefixed"
a.Lock 0
b.Lock 0
CheckNumber "a Local\ name shares its lock", Err, &H80070079
a.UnLock
On Error GoTo 0

' ---- DebugInfo ----
info = a.DebugInfo
Check "DebugInfo begins with the pseudo-handles", Left(info, 49), "<br>Process:ffffffff, Thread:fffffffe, ProcessId:"
Report "DebugInfo names the thread", InStr(info, ", ThreadID:") > 49, Describe(info), "a ThreadID part"

' ---- Lock and UnLock ----
Set a = CreateObject("Korvo.Dictionary")
Set b = CreateObject("Korvo.Dictionary")
a.Connect "sharing.lock"
b.Connect "sharing.lock"
On Error Resume Next
r = a.Lock(0)
CheckNumber "Lock(0) on a free lock", Err, 0
Check "Lock's result is 1 when this call took the lock", r, 1
b.Lock 0
CheckNumber "Lock(0) through a second object times out at once", Err, &H80070079
started = Timer
b.Lock 300
elapsed = Timer - started
CheckNumber "Lock(300) while held times out", Err, &H80070079
Report "Lock(300) waited its time-out", elapsed >= 0.25, CStr(elapsed) & " s", "at least 0.25 s"
b.Add "while locked", 1
CheckNumber "other members do not wait for the lock", Err, 0
b.UnLock
CheckNumber "UnLock through another object of the store", Err, 0
b.Lock
CheckNumber "Lock without a time-out on the freed lock", Err, 0
a.UnLock
CheckNumber "UnLock of the lock taken by b, through a", Err, 0
a.UnLock
CheckNumber "UnLock of a free named lock", Err, &H8007012A

' The lock stays held when its holder leaves the store.
a.Lock 0
a.DisConnect
b.Lock 0
CheckNumber "a lock survives the holder's DisConnect", Err, &H80070079
b.UnLock
CheckNumber "and is freed by another object of the store", Err, 0

' Private stores have locks of their own.
Set a = CreateObject("Korvo.Dictionary")
Set b = CreateObject("Korvo.Dictionary")
a.UnLock
CheckNumber "UnLock on an object that never locked", Err, &H8000000A
a.Lock 0
CheckNumber "a private lock", Err, 0
b.Lock 0
CheckNumber "another private lock at the same time", Err, 0
a.Lock 0
CheckNumber "a second Lock by the holder times out", Err, &H80070079
a.UnLock
b.UnLock
CheckNumber "private UnLock", Err, 0
On Error GoTo 0

Finish
