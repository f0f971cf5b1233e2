"""Fails when an application source (not a test, not an adapter in app/adapters/) names a part
of the host's interface that the host doesn't document. The stand-in's headers offer these; a
real host's would not, so an add-in that used one would not build against it. Such calls
belong in an adapter of the add-in's own interfaces (app/ports/).

Usage: documented_host_names.py SOURCE_DIR
"""
import pathlib
import re
import sys

UNDOCUMENTED = re.compile(
    r"\bBeFile\b|::(BeDeleteFile|ReadEntireFile|CurrentLocaleCharToWChar|GraphicElements"
    r"|AlreadyExists|IllegalName|NameAndExt|NullRange)\b|\bmdlStatus_")
FOLDERS = ("app", "export", "records", "import", "diag")


def main(root):
    found = []
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h") or path.name.endswith("_test.cpp"):
                continue
            if "adapters" in path.relative_to(root).parts:
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                code = line.split("//", 1)[0]  # a comment may name them
                if UNDOCUMENTED.search(code):
                    found.append(f"  {path.relative_to(root)}:{number}: {code.strip()}")
    if found:
        print("host names that the host doesn't document:\n" + "\n".join(found))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
