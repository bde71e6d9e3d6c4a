#!/usr/bin/env python3
"""Reads the .xls and .xlsx that tsunagi-cli writes with independent readers (xlrd, openpyxl)
and compares every cell's text, fill, border and number format with the hand-written golden.

Usage: check_books.py TSUNAGI_CLI CARDS.vcf GOLDEN.json
"""
import json
import os
import subprocess
import sys
import tempfile

import openpyxl
import xlrd


def xls_sheet(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    cells = []
    for r in range(sheet.nrows):
        row = []
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            xf = book.xf_list[cell.xf_index]
            fill = ""
            if xf.background.fill_pattern == 1:
                fill = "%02X%02X%02X" % book.colour_map[xf.background.pattern_colour_index]
            borders = {xf.border.left_line_style, xf.border.right_line_style,
                       xf.border.top_line_style, xf.border.bottom_line_style}
            row.append((cell.value, fill, borders == {1}, book.format_map[xf.format_key].format_str))
        cells.append(row)
    return cells


def xlsx_sheet(path):
    sheet = openpyxl.load_workbook(path).worksheets[0]
    cells = []
    for r in range(1, sheet.max_row + 1):
        row = []
        for c in range(1, sheet.max_column + 1):
            cell = sheet.cell(r, c)
            fill = ""
            if cell.fill.fill_type == "solid":
                fill = cell.fill.fgColor.rgb[-6:].upper()
            b = cell.border
            thin = all(side.style == "thin" for side in (b.left, b.right, b.top, b.bottom))
            row.append((cell.value or "", fill, thin, cell.number_format))
        cells.append(row)
    return cells


def compare(kind, cells, golden):
    failures = []
    rows = golden["rows"]
    if len(cells) != len(rows):
        failures.append(f"{kind}: {len(cells)} rows, expected {len(rows)}")
    for r, expected_row in enumerate(rows[: len(cells)]):
        row = cells[r] + [("", "", False, "")] * (len(expected_row) - len(cells[r]))
        for c, text in enumerate(expected_row):
            value, fill, thin, number_format = row[c]
            where = f"{kind} row {r + 1} column {c + 1}"
            if value != text:
                failures.append(f"{where}: {value!r}, expected {text!r}")
            if fill != golden["fills"][c]:
                failures.append(f"{where}: fill {fill!r}, expected {golden['fills'][c]!r}")
            if not thin:
                failures.append(f"{where}: no thin border on every side")
            if number_format != "@":
                failures.append(f"{where}: number format {number_format!r}, expected '@'")
    return failures


def main():
    cli, cards, golden_path = sys.argv[1:4]
    golden = json.load(open(golden_path, encoding="utf-8"))
    with tempfile.TemporaryDirectory() as folder:
        xls = os.path.join(folder, "book.xls")
        xlsx = os.path.join(folder, "book.xlsx")
        subprocess.run([cli, "-o", xls, cards], check=True)
        subprocess.run([cli, "-o", xlsx, cards], check=True)
        failures = compare("xls", xls_sheet(xls), golden) + compare("xlsx", xlsx_sheet(xlsx), golden)
    for failure in failures:
        print(failure)
    checked = 2 * len(golden["rows"]) * len(golden["fills"])
    print(f"{checked - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
