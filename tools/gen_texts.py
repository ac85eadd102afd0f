#!/usr/bin/env python3
"""Builds the string tables from the per-language text files.

The text files in src/ui/texts are the one source of truth: each is named by
its Windows language identifier in hex and holds "id<TAB>text" lines. This
writes the resource script for windres and a C++ table for native tests.
"""
import pathlib
import sys


def read_language(path):
    texts = []
    for line in path.read_text(encoding="utf-8").splitlines():
        if not line or line.startswith("#"):
            continue
        ident, text = line.split("\t", 1)
        texts.append((int(ident), text))
    return texts


def rc_quote(text):
    # Resource-script strings double their quotes; backslashes start escapes.
    # Everything outside ASCII is written as a UTF-16 code-unit escape: windres
    # mis-reads UTF-8 inside wide strings whatever code page it is given.
    out = []
    for ch in text.replace("\\", "\\\\").replace('"', '""'):
        code = ord(ch)
        if code < 0x80:
            out.append(ch)
            continue
        units = [code] if code < 0x10000 else [0xD800 | ((code - 0x10000) >> 10), 0xDC00 | (code & 0x3FF)]
        out.extend(f"\\x{u:04X}" for u in units)
    return "".join(out)


def cpp_quote(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def main(src_dir, rc_out, inc_out):
    languages = sorted(pathlib.Path(src_dir).glob("*.txt"))
    rc = ["// Generated from src/ui/texts; edit those files instead.", "#pragma code_page(65001)", ""]
    inc = ["// Generated from src/ui/texts; edit those files instead."]
    for path in languages:
        lang = int(path.stem, 16)
        rc.append(f"LANGUAGE 0x{lang & 0x3FF:02X}, 0x{lang >> 10:02X}")
        rc.append("STRINGTABLE")
        rc.append("BEGIN")
        for ident, text in read_language(path):
            rc.append(f'    {ident}, L"{rc_quote(text)}"')
            inc.append(f'{{0x{lang:04X}, {ident}, L"{cpp_quote(text)}"}},')
        rc.append("END")
        rc.append("")
    pathlib.Path(rc_out).write_text("\n".join(rc) + "\n", encoding="utf-8")
    pathlib.Path(inc_out).write_text("\n".join(inc) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main(*sys.argv[1:4])
