#!/usr/bin/env python3
"""Writes a zip archive: make-zip.py OUTPUT NAME=FILE...

Each NAME is the entry's path inside the archive, with forward slashes as the format wants
(x86/pelorin.exe), and FILE the file whose bytes it holds. Entries keep the order given and
their files' modification times; the archive is written to a temporary name first, so that
an interrupted build never leaves a partial zip where the finished one belongs.
"""
import os
import sys
import zipfile


def main(argv):
    if len(argv) < 3:
        sys.exit("usage: make-zip.py OUTPUT NAME=FILE...")
    output = argv[1]
    partial = output + ".partial"
    with zipfile.ZipFile(partial, "w", compression=zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for pair in argv[2:]:
            name, sep, path = pair.partition("=")
            if not sep or not name or "\\" in name or name.startswith("/"):
                sys.exit(f"make-zip.py: bad entry {pair!r}")
            archive.write(path, arcname=name)
    os.replace(partial, output)


if __name__ == "__main__":
    main(sys.argv)
