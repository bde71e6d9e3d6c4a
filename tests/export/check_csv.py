#!/usr/bin/env python3
"""Reads the address book that tsunagi-cli writes with Python's csv module, an RFC 4180 reader
of its own, and checks that every record has the 23 fields of the heading and that names,
mails and numbers with commas, quotes and blanks land in their own columns.

Usage: check_csv.py TSUNAGI_CLI
"""
import csv
import io
import os
import subprocess
import sys
import tempfile

CARDS = [
    # name, numbers, mails: what the card holds
    ("Smith, John", ["TEL;VOICE;HOME:03,1234", "TEL;VOICE;WORK:045", "TEL;CELL:0 9,0"],
     ["EMAIL;INTERNET:a@b.jp"]),
    ('say "hi"', ["TEL;CELL:090"], ['EMAIL;INTERNET:"odd,mail"@x.jp']),
    ("山田太郎", ["TEL;VOICE;HOME:03", "TEL;VOICE;WORK:04,5"], []),
    ("plain", [], []),
]
COLUMNS = {"name": 0, "display": 3, "mail": 5, "home": 11, "work": 12, "mobile": 13}


def card_text(name, numbers, mails):
    lines = ["BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:" + name] + numbers + mails
    return "".join(line + "\r\n" for line in lines + ["END:VCARD"])


def unblank(field):
    # Unquoted fields after the first carry the blank the address book puts after each comma.
    return field[1:] if field.startswith(" ") else field


def main():
    cli = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        cards = os.path.join(folder, "cards.vcf")
        with open(cards, "wb") as f:
            f.write("".join(card_text(*card) for card in CARDS).encode("cp932"))
        book = os.path.join(folder, "book.csv")
        subprocess.run([cli, "-o", book, cards], check=True)
        with open(book, "rb") as f:
            text = f.read().decode("cp932")
    records = list(csv.reader(io.StringIO(text, newline="")))
    heading, rows = records[0], records[1:]
    if len(heading) != 23:
        failures.append(f"heading has {len(heading)} fields")
    if len(rows) != len(CARDS):
        failures.append(f"{len(rows)} records for {len(CARDS)} cards")
    for row, (name, numbers, mails) in zip(rows, CARDS):
        if len(row) != 23:
            failures.append(f"{name}: {len(row)} fields: {row}")
            continue
        values = {key: unblank(row[at]) for key, at in COLUMNS.items()}
        # The mobile number's field is followed by a blank of the record's own when unquoted.
        if values["mobile"].endswith(" "):
            values["mobile"] = values["mobile"][:-1]
        want = {"name": name, "display": name, "mail": "", "home": "", "work": "", "mobile": ""}
        for number in numbers:
            head, value = number.split(":", 1)
            kind = "home" if "HOME" in head else "mobile" if "CELL" in head else "work"
            want[kind] = value
        for mail in mails:
            want["mail"] = mail.split(":", 1)[1]
        for key in COLUMNS:
            if values[key] != want[key]:
                failures.append(f"{name}: {key} {values[key]!r}, expected {want[key]!r}")
    for failure in failures:
        print(failure)
    checked = len(CARDS) * len(COLUMNS) + 2
    print(f"{checked - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
