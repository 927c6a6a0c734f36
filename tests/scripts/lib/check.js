// The check helpers of the JScript tests. The test runner puts this file in front of each
// test script; a line number that cscript reports counts from the top of this file.

var passed = 0, failed = 0;

function describe(v) {
    if (v === undefined) return "undefined";
    if (v === null) return "null";
    if (typeof v === "unknown") return "<" + typeof v + ">";
    if (typeof v === "string") return "\"" + v + "\"";
    if (typeof v === "object") {
        var parts = [];
        for (var i = 0; i < v.length; i++) parts.push(describe(v[i]));
        return v.length === undefined ? "<object>" : "[" + parts.join(", ") + "]";
    }
    return String(v);
}

function report(name, ok, got, expected) {
    if (ok) {
        passed++;
        WScript.Echo("ok - " + name);
    } else {
        failed++;
        WScript.Echo("not ok - " + name + ": got " + got + " expected " + expected);
    }
}

function check(name, got, expected) {
    report(name, describe(got) === describe(expected), describe(got), describe(expected));
}

function hex(n) { return "0x" + (n >>> 0).toString(16).toUpperCase(); }

// Runs f, which must fail with the HRESULT number; with a description, also compares it.
function checkThrows(name, f, number, description) {
    var got = "no error";
    try {
        f();
    } catch (e) {
        got = hex(e.number) + (description === undefined ? "" : " \"" + e.description + "\"");
    }
    var want = hex(number) + (description === undefined ? "" : " \"" + description + "\"");
    report(name, got === want, got, want);
}

function array(v) { return new VBArray(v).toArray(); }

function items(d) {
    var out = [];
    for (var en = new Enumerator(d); !en.atEnd(); en.moveNext()) out.push(en.item());
    return out;
}
