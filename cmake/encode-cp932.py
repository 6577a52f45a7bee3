#!/usr/bin/env python3
"""Writes a UTF-8 text file out in code page 932 with CR LF line ends, as Windows tools
(Notepad, GetPrivateProfileStringA under a Japanese system) expect it.
usage: encode-cp932.py IN OUT"""
import sys

text = open(sys.argv[1], encoding="utf-8").read()
lines = text.replace("\r\n", "\n").split("\n")
with open(sys.argv[2], "wb") as out:
    out.write("\r\n".join(lines).encode("cp932"))
