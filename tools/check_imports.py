#!/usr/bin/env python3
"""Fails when a shipped binary imports a function that its oldest Windows lacks.

Wine exports the same functions whatever Windows version it plays, so a run
under Wine proves nothing about Windows 2000 or XP. Instead every function in
the binaries' import tables must be listed in tools/imports.tsv with the
oldest Windows that exports it, as Microsoft's reference page gives it.
Imports from a DLL that is itself one of the binaries here must be among that
DLL's exports.

Usage: check_imports.py [--self-test] [BUILD_DIR]   (BUILD_DIR: build/win32)
"""
import os
import re
import subprocess
import sys

OBJDUMP = "i686-w64-mingw32-objdump"
TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "imports.tsv")

# The binaries, relative to the build folder, and the oldest Windows each must
# load on. A binary that imports a function Microsoft lists only from XP on
# gets "Windows XP", with the reason beside it. Today that is all four: the
# pages of most kernel32, advapi32 and shell32 functions start at Windows XP
# (the oldest release they still describe), so Windows 2000 cannot be shown
# from them even for ReadFile or GetLastError. Anything newer than XP still
# fails.
BINARIES = [
    # CreateFileW, AdjustTokenPrivileges, ShellExecuteExW, SetupIterateCabinetA
    ("Devstart.exe", "Windows XP"),
    # the same platform adapters as Devstart.exe: CreateFileW, OpenSCManagerW
    ("P4_Updlink.dll", "Windows XP"),
    # StartServiceCtrlDispatcherW, SetServiceStatus, CancelIo
    ("ScsiCmdService.exe", "Windows XP"),
    # CreateFileW and the runtime's own TlsAlloc, EnterCriticalSection
    ("SendScsiCmd.dll", "Windows XP"),
]

# Age of each client release. Microsoft's pages name the release, sometimes
# with its edition ("Windows 2000 Professional") or the kind of app after it.
ORDER = {"Windows 2000": 0, "Windows XP": 1, "Windows Server 2003": 2, "Windows Vista": 3,
         "Windows 7": 4, "Windows 8": 5, "Windows 8.1": 6, "Windows 10": 7, "Windows 11": 8}


def release(text):
    """The release a "Minimum supported client" text names, or None."""
    for name in ORDER:
        if text == name or text.startswith(name + " "):
            return name
    return None


def read_table(text):
    """{(dll, function): minimum release} and the problems of the table itself."""
    table, problems = {}, []
    for number, line in enumerate(text.splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 4 or not all(f.strip() for f in fields):
            problems.append(f"imports.tsv:{number}: want DLL, function, minimum client, URL separated by tabs")
            continue
        dll, function, minimum, url = (f.strip() for f in fields)
        key = (dll.lower(), function)
        if release(minimum) is None:
            problems.append(f"imports.tsv:{number}: {function}: unknown Windows release '{minimum}'")
        elif not re.match(r"https://(learn|docs)\.microsoft\.com/", url):
            problems.append(f"imports.tsv:{number}: {function}: the URL is not a Microsoft reference page")
        elif key in table:
            problems.append(f"imports.tsv:{number}: {dll} {function} listed twice")
        else:
            table[key] = release(minimum)
    return table, problems


def read_imports(dump):
    """{dll: [function]} from `objdump -p`; an import by ordinal reads '#N'."""
    imports, dll = {}, None
    for line in dump.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1).lower()
            imports.setdefault(dll, [])
            continue
        if dll is None:
            continue
        entry = re.match(r"\t[0-9a-f]+\t +(\d+)  (\S+)", line)
        if entry:
            hint, name = entry.groups()
            imports[dll].append("#" + hint if name == "<none>" else name)
        elif not line.startswith("\t"):
            dll = None  # the blank line or table header after a DLL's block
    return imports


def read_exports(dump):
    """The names in the export table of `objdump -p`."""
    part = dump.partition("[Ordinal/Name Pointer] Table")[2]
    return set(re.findall(r"^\t\[\s*\d+\] (\S+)$", part, re.M))


def judge(binary, oldest, imports, table, siblings):
    """One line per import the binary may not have; siblings: {dll: exports}."""
    problems = []
    for dll, functions in sorted(imports.items()):
        for function in functions:
            where = f"{binary}: {dll} {function}"
            if dll in siblings:
                if function not in siblings[dll]:
                    problems.append(f"{where}: not exported by the {dll} built here")
                continue
            minimum = table.get((dll, function))
            if minimum is None:
                problems.append(f"{where}: not in tools/imports.tsv")
            elif ORDER[minimum] > ORDER[oldest]:
                problems.append(f"{where}: needs {minimum}, this binary must load on {oldest}")
    return problems


def objdump(option, path):
    return subprocess.run([OBJDUMP, option, path], check=True, capture_output=True, text=True).stdout


def check(build):
    with open(TABLE, encoding="utf-8") as f:
        table, problems = read_table(f.read())
    dumps = {}
    for name, _ in BINARIES:
        path = os.path.join(build, name)
        if not os.path.isfile(path):
            problems.append(f"{path}: missing")
            continue
        if "file format pei-i386" not in objdump("-f", path):
            problems.append(f"{path}: not PE32 i386")
            continue
        dumps[name] = objdump("-p", path)
    siblings = {name.lower(): read_exports(dump) for name, dump in dumps.items() if name.endswith(".dll")}
    for name, oldest in BINARIES:
        if name not in dumps:
            continue
        path = os.path.join(build, name)
        imports = read_imports(dumps[name])
        found = judge(path, oldest, imports, table, siblings)
        problems += found
        if not found:
            count = sum(len(f) for f in imports.values())
            print(f"ok   {path} imports {count} functions from {len(imports)} DLLs, none newer than {oldest}")
    for line in problems:
        print("FAIL " + line)
    return 1 if problems else 0


# Excerpts of `objdump -p` as binutils 2.40 prints them.
DUMP_HEAD = """The Import Tables (interpreted .idata section contents)
 vma:            Hint    Time      Forward  DLL       First
                 Table   Stamp     Chain    Name      Thunk
 00005000\t0000503c 00000000 00000000 00005300 000050a0

\tDLL Name: KERNEL32.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t5100\t  123  CloseHandle
"""
CLEAN = DUMP_HEAD + """\t5110\t  456  GetTickCount

 00005014\t00005048 00000000 00000000 00005310 000050ac

\tDLL Name: comctl32.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t80000011\t   17  <none>

 00000000\t00000000 00000000 00000000 00000000 00000000

"""
UNLISTED = DUMP_HEAD + "\t5120\t  789  GetThreadUILanguage\n\n"
VISTA = DUMP_HEAD + "\t5130\t  790  GetTickCount64\n\n"
EXPORTS = """[Ordinal/Name Pointer] Table
\t[   0] SendScsiCmd

"""
SELF_TABLE = """# dll\tfunction\tminimum\turl
kernel32.dll\tCloseHandle\tWindows 2000 Professional [desktop apps | UWP apps]\thttps://learn.microsoft.com/a
kernel32.dll\tGetTickCount\tWindows 2000 Professional\thttps://learn.microsoft.com/b
kernel32.dll\tGetTickCount64\tWindows Vista [desktop apps | UWP apps]\thttps://learn.microsoft.com/c
comctl32.dll\t#17\tWindows XP\thttps://learn.microsoft.com/d
"""


def self_test():
    table, problems = read_table(SELF_TABLE)
    cases = [
        # (dump, oldest, expected problems)
        (CLEAN, "Windows XP", []),
        (CLEAN, "Windows 2000", ["t.exe: comctl32.dll #17: needs Windows XP, this binary must load on Windows 2000"]),
        (UNLISTED, "Windows XP", ["t.exe: kernel32.dll GetThreadUILanguage: not in tools/imports.tsv"]),
        (VISTA, "Windows XP", ["t.exe: kernel32.dll GetTickCount64: needs Windows Vista, this binary must load on Windows XP"]),
        (DUMP_HEAD + "\n\tDLL Name: SendScsiCmd.dll\n\t5140\t    0  SendScsiCmd\n\t5150\t    1  ScsiReset\n\n",
         "Windows 2000", ["t.exe: sendscsicmd.dll ScsiReset: not exported by the sendscsicmd.dll built here"]),
    ]
    siblings = {"sendscsicmd.dll": read_exports(EXPORTS)}
    failed = problems != []
    for dump, oldest, expected in cases:
        got = judge("t.exe", oldest, read_imports(dump), table, siblings)
        if got != expected:
            print(f"self-test: {oldest}: expected {expected}, got {got}")
            failed = True
    table_cases = [
        ("k.dll\tF\tWindows 95\thttps://learn.microsoft.com/x\n", ["imports.tsv:1: F: unknown Windows release 'Windows 95'"]),
        ("k.dll\tF\tWindows XP\n", ["imports.tsv:1: want DLL, function, minimum client, URL separated by tabs"]),
        ("k.dll\tF\tWindows XP\thttps://example.com/x\n", ["imports.tsv:1: F: the URL is not a Microsoft reference page"]),
        ("k.dll\tF\tWindows 8.1\thttps://docs.microsoft.com/x\nK.DLL\tF\tWindows XP\thttps://docs.microsoft.com/x\n",
         ["imports.tsv:2: K.DLL F listed twice"]),
    ]
    for text, expected in table_cases:
        got = read_table(text)[1]
        if got != expected:
            print(f"self-test: table {text!r}: expected {expected}, got {got}")
            failed = True
    if read_table("k.dll\tF\tWindows 8.1\thttps://docs.microsoft.com/x\n")[0] != {("k.dll", "F"): "Windows 8.1"}:
        print("self-test: Windows 8.1 read as another release")
        failed = True
    print("self-test " + ("FAILED" if failed else "ok"))
    return 1 if failed else 0


if __name__ == "__main__":
    args = sys.argv[1:]
    if args[:1] == ["--self-test"]:
        sys.exit(self_test())
    sys.exit(check(args[0] if args else "build/win32"))
