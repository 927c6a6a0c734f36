// The members as JScript sees them: method calls, d.Item("k") = v for assignment (JScript
// has no assignment to a call), new Enumerator(d) for the items, VBArray for the arrays
// that Keys, Items and a key with several items return, and try/catch for the errors.

var d = new ActiveXObject("Korvo.Dictionary");
check("new object: ItemsCount", d.ItemsCount, 0);
check("new object: Keys is empty", new VBArray(d.Keys).ubound(1), -1);
check("new object: unique keys", d.UniqueKeys, true);
check("new object: the enumerator is at its end", new Enumerator(d).atEnd(), true);

d.Add("b", 2);
d.Add("a", "one");
check("Item get", d.Item("a"), "one");
d.Item("b") = 20;
check("Item put through d.Item(k) = v", d.Item("b"), 20);
d.Item("c") = 3;
check("Item put adds an absent key", d.Exists("c"), true);
check("Item get of an absent key", d.Item("zz"), undefined);
check("Keys", array(d.Keys), ["a", "b", "c"]);
check("Items", array(d.Items), ["one", 20, 3]);
// Count is a property get with an optional key; with or without parentheses it answers.
check("Count with the key omitted", d.Count, 3);
check("Count() as a call with the key omitted", d.Count(), 3);
check("ItemsCount() as a call", d.ItemsCount(), 3);
check("Count of one key", d.Count("a"), 1);
check("KeysCount", d.KeysCount, 3);
check("a member name in lower case resolves", d.keyscount, 3);

var inner = new ActiveXObject("Korvo.Dictionary");
inner.Add("x", "inside");
d.Item("o") = inner;
check("an object item is shared", d.Item("o").Item("x"), "inside");
inner.Add("y", 1);
check("changes through the script's reference show", d.Item("o").ItemsCount, 2);
d.Remove("o");
check("Remove", d.Exists("o"), false);

check("new Enumerator yields the items", items(d), ["one", 20, 3]);

checkThrows("Add of a present key", function () { d.Add("a", 1); },
            0x80004005, "This key is already in collection.");
d.UniqueKeys = false;
d.Add("a", "two");
check("several items come back as an array", array(d.Item("a")), ["one", "two"]);
checkThrows("Item put on a key with several items", function () { d.Item("a") = 0; },
            0x80004005, "There is more values to change");
checkThrows("UniqueKeys back on with items stored", function () { d.UniqueKeys = true; },
            0x80004005, "You can't switch back to unique keys.");
checkThrows("CompareMode = 2", function () { d.CompareMode = 2; },
            0x80070057, "Nonexist compare method.");

d.Key("a") = "z";
check("Key rename", array(d.Keys), ["b", "c", "z"]);
check("the renamed key keeps its items", array(d.Item("z")), ["one", "two"]);

d.CompareMode = 1;
var t = new ActiveXObject("Korvo.Dictionary");
t.Add("Zebra", 1);
t.Add("apple", 2);
check("text mode order", array(t.Keys), ["apple", "Zebra"]);
check("text mode lookup ignores ASCII case", t.Item("ZEBRA"), 1);
d.CompareMode = 0;
check("CompareMode back to binary", t.CompareMode, 0);

var shared = new ActiveXObject("Korvo.Dictionary");
d.Connect("js.shared");
shared.Connect("js.shared");
d.Add("k", "v");
check("a named store is seen by both objects", shared.Item("k"), "v");
check("RefCounter", shared.RefCounter, 2);
check("Lock returns 1 when it takes the lock", d.Lock(0), 1);
checkThrows("Lock(0) through the second object", function () { shared.Lock(0); }, 0x80070079);
shared.UnLock();
checkThrows("UnLock of a free lock", function () { shared.UnLock(); }, 0x8007012A);
d.DisConnect();
check("DisConnect leaves an empty private store", d.ItemsCount, 0);
check("the named store keeps its items", shared.Item("k"), "v");
d.Connect("js.shared");

var fso = new ActiveXObject("Scripting.FileSystemObject");
var path = fso.GetSpecialFolder(2).Path + "\\korvo-script-js.dic";
shared.Add("apple", 1);
shared.Add("avocado", 2);
shared.Save(path, false, "^a");
var loaded = new ActiveXObject("Korvo.Dictionary");
loaded.Load(path);
check("Save with a pattern and Load", array(loaded.Keys), ["apple", "avocado"]);
loaded.RemoveAll("^av");
check("RemoveAll with a pattern", array(loaded.Keys), ["apple"]);
checkThrows("Load of a missing file", function () { loaded.Load(path + ".missing"); }, 0x80070002);
check("DebugInfo", d.DebugInfo.substr(0, 49), "<br>Process:ffffffff, Thread:fffffffe, ProcessId:");

WScript.Echo("# script-result: " + passed + " passed, " + failed + " failed");
WScript.Quit(failed);
