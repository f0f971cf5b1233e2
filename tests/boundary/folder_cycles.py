#!/usr/bin/env python3
"""Fails when the shipped code's folders include each other in a cycle.

Each folder (a sub-folder counting as its own unit) may include only from folders below it.
Tests, benchmarks (bench/) and fuzz targets are left out: they reach into the testing
library and the stand-in's insides. Usage: folder_cycles.py SOURCE_DIR
"""
import os
import re
import subprocess
import sys

root = sys.argv[1]
os.chdir(root)
files = [f for f in subprocess.check_output(['git', 'ls-files', '*.cpp', '*.h']).decode().split()
         if not f.endswith('_test.cpp') and not f.startswith(('tests/', 'fuzz/', 'bench/'))]
edges = {}
for path in files:
    here = os.path.dirname(path)
    with open(path, encoding='utf-8', errors='replace') as source:
        for include in re.findall(r'#include "([^"]+)"', source.read()):
            for candidate in (include, 'host/include/' + include, 'host/' + include,
                              os.path.join(here, include)):
                if os.path.exists(candidate):
                    there = os.path.dirname(os.path.normpath(candidate))
                    if there != here:
                        edges.setdefault(here, set()).add(there)
                    break

cycles = []


def walk(node, path):
    for nxt in sorted(edges.get(node, ())):
        if nxt in path:
            cycles.append(path[path.index(nxt):] + [nxt])
        else:
            walk(nxt, path + [nxt])


for start in sorted(edges):
    walk(start, [start])
for cycle in cycles:
    print('include cycle: ' + ' -> '.join(cycle))
print(f'{len(edges)} folders, {len(cycles)} cycles')
sys.exit(1 if cycles else 0)
