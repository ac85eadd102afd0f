#!/usr/bin/env python3
"""Fails when a folder of src/ includes a folder above it.

Layers, top to bottom: app, workflow, then update / ui / device / inspect (which do not
include each other), core, platform. The live-update library (updlink) stands
on platform alone. The build enforces the same (one library per layer); this
says it in a second. Usage: check_layers.py SRC_DIR
"""
import os
import re
import sys

RANK = {"app": 0, "workflow": 1, "update": 2, "ui": 2, "device": 2, "inspect": 2, "updlink": 2, "core": 3, "platform": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.M)


def main(src):
    bad = []
    for root, _, files in os.walk(src):
        folder = os.path.relpath(root, src).split(os.sep)[0]
        if folder not in RANK:
            continue
        for name in files:
            path = os.path.join(root, name)
            with open(path, errors="replace") as f:
                for target in INCLUDE.findall(f.read()):
                    if target == folder or target not in RANK:
                        continue
                    if RANK[target] <= RANK[folder] or (folder == "updlink" and target != "platform"):
                        bad.append(f"{os.path.relpath(path, src)} includes {target}/")
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src"))
