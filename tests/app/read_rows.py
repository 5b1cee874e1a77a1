#!/usr/bin/env python3
# Reads krdb's CSV or JSON output with Python's own parsers and prints one line per row: the
# record as a JSON array (CSV), or "[", each row object, "]" per result (JSON). A test then
# compares what a real reader gets, not krdb's text.
import csv
import json
import sys

kind, path = sys.argv[1], sys.argv[2]
out = []
if kind == "csv":
    with open(path, encoding="utf-8", newline="") as f:
        for record in csv.reader(f, strict=True):
            out.append(json.dumps(record, ensure_ascii=False))
else:
    with open(path, encoding="utf-8") as f:
        text = f.read()
    decoder = json.JSONDecoder()
    pos = 0
    while True:
        while pos < len(text) and text[pos].isspace():
            pos += 1
        if pos >= len(text):
            break
        document, pos = decoder.raw_decode(text, pos)
        out.append("[")
        for row in document:
            out.append(json.dumps(row, ensure_ascii=False, separators=(",", ":")))
        out.append("]")
sys.stdout.write("".join(line + "\n" for line in out))
