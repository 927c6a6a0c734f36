// The tour of Korvo.Dictionary in JScript, shorter. Run: cscript //nologo tour.js
// Arrays from the object (Keys, Items, a key's several items) are safe arrays: VBArray turns
// them into JScript arrays. (Wine's JScript throws on typeof of a safe array, so convert first.)
function list(safeArray) { return new VBArray(safeArray).toArray(); }
function show(v) {
    if (v instanceof Array) {
        var parts = [];
        for (var i = 0; i < v.length; i++) parts.push(show(v[i]));
        return "[" + parts.join(", ") + "]";
    }
    return typeof v === "string" ? "\"" + v + "\"" : String(v);
}
function say(text) { WScript.Echo(text); }
function attempt(what, f) {
    try {
        f();
        say("   " + what + ": ok");
    } catch (e) {
        say("   " + what + ": error 0x" + (e.number >>> 0).toString(16).toUpperCase() +
            " \"" + e.description + "\"");
    }
}

say("Korvo.Dictionary tour (JScript)");
var d = new ActiveXObject("Korvo.Dictionary");

say("\n== Keys and items");
d.Add("banana", 3);
d.Add("apple", 5);
d.Item("cherry") = 12;                       // assignment goes through d.Item(k) = v
say("   Keys = " + show(list(d.Keys)) + ", Items = " + show(list(d.Items)));
attempt("Add \"apple\" again", function () { d.Add("apple", 6); });

say("\n== Several items under one key");
d.UniqueKeys = false;
d.Add("apple", "green");
say("   d.Item(\"apple\") = " + show(list(d.Item("apple"))) + ", Count(\"apple\") = " + d.Count("apple"));

say("\n== Enumerating the items");
for (var en = new Enumerator(d); !en.atEnd(); en.moveNext()) say("   item " + show(en.item()));

say("\n== Text compare mode");
d.CompareMode = 1;
var t = new ActiveXObject("Korvo.Dictionary");
t.Add("zebra", 1); t.Add("Apple", 2); t.Add("mango", 3);
say("   Keys = " + show(list(t.Keys)) + ", t.Item(\"APPLE\") = " + t.Item("APPLE"));
d.CompareMode = 0;

say("\n== A named store and its lock");
var a = new ActiveXObject("Korvo.Dictionary"), b = new ActiveXObject("Korvo.Dictionary");
a.Connect("tour.js"); b.Connect("tour.js");
a.Add("shared", true);
say("   b sees a's item: " + b.Item("shared") + ", RefCounter = " + b.RefCounter);
a.Lock(0);
attempt("b.Lock(0) while a holds the lock", function () { b.Lock(0); });
a.UnLock();

say("\n== Save and Load with a pattern");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var path = fso.GetSpecialFolder(2).Path + "\\korvo-tour-js.dic";
d.Save(path, false, "^[ab]");
var loaded = new ActiveXObject("Korvo.Dictionary");
loaded.UniqueKeys = false;
loaded.Load(path);
say("   saved keys matching ^[ab], loaded: " + show(list(loaded.Keys)) + " with items " + show(list(loaded.Items)));
loaded.RemoveAll("^b");
say("   RemoveAll(\"^b\"): " + show(list(loaded.Keys)));
fso.DeleteFile(path);

say("\nEnd of the tour.");
