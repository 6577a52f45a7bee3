#!/usr/bin/python3
# Writes the user guide as a web page for the setup program to install: guide-html.py
# GUIDE.md OUT.html. Debian's python3-markdown lives with Debian's own python3, hence the
# interpreter named above and by the build.
import sys

import markdown

source, target = sys.argv[1], sys.argv[2]
with open(source, encoding="utf-8") as f:
    text = f.read()
title = next((line[2:].strip() for line in text.splitlines() if line.startswith("# ")), "Pelorin")
body = markdown.markdown(text, extensions=["tables"], output_format="html")
with open(target, "w", encoding="utf-8", newline="\r\n") as f:
    f.write('<!DOCTYPE html>\n<html lang="ja">\n<head>\n<meta charset="utf-8">\n')
    f.write("<title>%s</title>\n" % title)
    f.write("<style>body{font-family:sans-serif;max-width:50em;margin:2em auto;line-height:1.5}"
            "table{border-collapse:collapse}td,th{border:1px solid #999;padding:.2em .5em}"
            "code{background:#eee}</style>\n</head>\n<body>\n")
    f.write(body)
    f.write("\n</body>\n</html>\n")
