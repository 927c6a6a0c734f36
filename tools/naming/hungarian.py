#!/usr/bin/env python3
"""Hungarian prefixes on our own parameters and locals (psz, pbstr, pvarDest, dwReserved, strIn).

    hungarian.py check <file.cpp>...        lists each one (file:line: name) and fails
    hungarian.py apply <table> <file.cpp>... renames them by the table's "old new [file]" lines
                                             (with a file: only in files whose path ends so)

Only implementation files are read: the SDK-shaped headers keep the SDK's parameter names in
their declarations. Comments and literals are skipped, and so is a name after "." or "->" (the
SDK's own fields, psa->pvData, v.bstrVal), so what is left are the names a function declares.
"""
import re
import sys

# A name is Hungarian when a lower-case type tag is followed by the capitalised rest of it.
PREFIX = (r"(?:(?:pp?|lp)(?:sz|wsz|bstr|varg|var|sa|dw|cb|ul|ui|v|l|i|b|n|w|u|c|f)?"
          r"|dw|cb|cch|sz|wsz|bstr|str|rg|ul|ui|c|n|w|l|f|b|i|u)")
# And the tags used alone as a whole name.
WHOLE = r"(?:psz|psa|pv|ppv|pbstr|pvarg|pvar|perrinfo|pperrinfo|riid|pvt|celt|ui|punk|ppunk)"
HUNGARIAN = re.compile(r"(?:" + PREFIX + r"[A-Z][A-Za-z0-9]*|" + WHOLE + r")$")
TOKENS = re.compile(r"""//[^\n]*|/\*.*?\*/|R"([^(]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*'"""
                    r"""|(?P<member>(?:\.|->)\s*)?(?P<name>\b[A-Za-z_]\w*)""", re.S)


def names(text):
    """(offset, name) of every identifier outside comments and literals, not after . or ->."""
    for match in TOKENS.finditer(text):
        if match.group("name") and not match.group("member"):
            yield match.start("name"), match.group("name")


def check(files):
    found = 0
    for path in files:
        text = open(path, encoding="utf-8").read()
        seen = set()
        for offset, name in names(text):
            if HUNGARIAN.match(name) and name not in seen:
                seen.add(name)
                found += 1
                print(f"{path}:{text.count(chr(10), 0, offset) + 1}: Hungarian name '{name}'")
    return 1 if found else 0


def apply(table_path, files):
    rows = [line.split() for line in open(table_path) if line.strip() and not line.startswith("#")]
    for path in files:
        table = {row[0]: row[1] for row in rows if len(row) == 2}
        table.update({row[0]: row[1] for row in rows if len(row) == 3 and path.endswith(row[2])})
        text = open(path, encoding="utf-8").read()
        pieces, last = [], 0
        for offset, name in names(text):
            if name in table:
                pieces += [text[last:offset], table[name]]
                last = offset + len(name)
        if pieces:
            pieces.append(text[last:])
            open(path, "w", encoding="utf-8").write("".join(pieces))
    return 0


if __name__ == "__main__":
    if len(sys.argv) >= 2 and sys.argv[1] == "check":
        sys.exit(check(sys.argv[2:]))
    if len(sys.argv) >= 3 and sys.argv[1] == "apply":
        sys.exit(apply(sys.argv[2], sys.argv[3:]))
    sys.exit(__doc__)
