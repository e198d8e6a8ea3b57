#!/usr/bin/env python3
"""The plain Python way to do what quillmark-cli does: quote two columns.

    bench/quote_columns.py SOURCE TARGET
Reads SOURCE (UTF-8) with the csv module and writes TARGET with columns 1
and 10 always quoted, every other field quoted only where needed.
"""
import csv
import sys

QUOTED = {1, 10}


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, newline="", encoding="utf-8") as inp, open(target, "w", newline="", encoding="utf-8") as out:
        for row in csv.reader(inp):
            fields = []
            for index, field in enumerate(row):
                if index in QUOTED or any(c in field for c in ',"\r\n'):
                    fields.append('"' + field.replace('"', '""') + '"')
                else:
                    fields.append(field)
            out.write(",".join(fields) + "\r\n")


if __name__ == "__main__":
    main()
