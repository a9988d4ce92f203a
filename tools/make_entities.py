#!/usr/bin/env python3
"""Writes feeds/HtmlEntityTable.inc: the named character references of HTML (the full list that
Python's html.entities holds), sorted by name, with the one or two characters each stands for.
XML's own five are left out: the parser knows them. Run again only to bring the list up to date.

    python3 tools/make_entities.py
"""
import html.entities
import os

XML_OWN = {"amp", "lt", "gt", "quot", "apos"}


def main():
    entries = []
    for name, text in html.entities.html5.items():
        if not name.endswith(";") or name[:-1] in XML_OWN:
            continue
        codes = [ord(c) for c in text] + [0]
        entries.append((name[:-1].encode("ascii"), codes[0], codes[1]))
    entries.sort()
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "feeds", "HtmlEntityTable.inc")
    with open(path, "w") as out:
        out.write("// Made by tools/make_entities.py: the named character references of HTML, sorted by name\n")
        out.write("// (byte order), each with its one or two characters (0 when there is no second).\n")
        for name, first, second in entries:
            out.write('{"%s", 0x%X, 0x%X},\n' % (name.decode(), first, second))
    print("%d entities written to %s" % (len(entries), os.path.normpath(path)))


if __name__ == "__main__":
    main()
