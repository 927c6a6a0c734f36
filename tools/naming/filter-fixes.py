#!/usr/bin/env python3
"""filter-fixes.py <fixes dir> <root> [--only DIR]... [--keep-out DIR]...

Keeps, in clang-tidy's exported fix files, the renames of names declared under src/ (a test's
own names stay), of the --only folders when given, and drops every rename that would also edit
a --keep-out folder (those are listed, for a later run on the tree where they may change). The
same name's rename comes once from every source that sees it: duplicates are dropped too, so
clang-apply-replacements does not refuse them as conflicting.
"""
import os
import re
import sys

import yaml


def under(path, folders):
    return any(path.startswith(folder.rstrip("/") + "/") for folder in folders)


def main(argv):
    fixes_dir, root = argv[0], os.path.realpath(argv[1])
    only, keep_out, i = [], [], 2
    while i < len(argv):
        (only if argv[i] == "--only" else keep_out).append(os.path.join(root, argv[i + 1]))
        i += 2
    documents = {}
    for name in sorted(os.listdir(fixes_dir)):
        documents[name] = yaml.safe_load(open(os.path.join(fixes_dir, name))) or {}

    def key(message):
        return (os.path.realpath(message.get("FilePath") or ""), message.get("FileOffset"), message["Message"])

    def in_scope(message):
        where = key(message)[0]
        return under(where, [os.path.join(root, "src")]) and (not only or under(where, only))

    # A name is held back everywhere once any source's rename of it edits a kept-out folder.
    held = set()
    for document in documents.values():
        for diagnostic in document.get("Diagnostics") or []:
            message = diagnostic["DiagnosticMessage"]
            edited = {os.path.realpath(r["FilePath"]) for r in message.get("Replacements") or []}
            if in_scope(message) and keep_out and any(under(file, keep_out) for file in edited):
                held.add(key(message))
    for where, _, text in sorted(held):
        print(f"held back (edits a kept-out folder): {os.path.relpath(where, root)}: {text}")

    seen = set()
    for name, document in documents.items():
        kept = []
        for diagnostic in document.get("Diagnostics") or []:
            message = diagnostic["DiagnosticMessage"]
            if not in_scope(message) or key(message) in held:
                continue
            replacements = message.get("Replacements") or []
            # clang-tidy makes kNeedMore KNeedMore; an enum class value drops the constant's k.
            if re.search(r"scoped enum constant 'k[A-Z]", message["Message"]):
                for replacement in replacements:
                    replacement["ReplacementText"] = re.sub(r"^K(?=[A-Z])", "", replacement["ReplacementText"])
            message["Replacements"] = [r for r in replacements
                                       if (os.path.realpath(r["FilePath"]), r["Offset"]) not in seen]
            seen.update((os.path.realpath(r["FilePath"]), r["Offset"]) for r in replacements)
            if message["Replacements"]:
                kept.append(diagnostic)
        document["Diagnostics"] = kept
        with open(os.path.join(fixes_dir, name), "w") as out:
            yaml.safe_dump(document, out, sort_keys=False)


if __name__ == "__main__":
    main(sys.argv[1:])
