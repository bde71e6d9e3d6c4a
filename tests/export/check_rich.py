#!/usr/bin/env python3
"""Nothing lost on the way to today's phones: a rich iPhone card and a rich Google row go
through tsunagi-cli to vCard 3.0 and the Google CSV, and vobject and Python's csv module find
every property and every value again.
Usage: check_rich.py TSUNAGI_CLI GOLDEN_FOLDER
"""
import csv
import io
import os
import subprocess
import sys
import tempfile

import vobject


def properties(card):
    """Every property of a card but PRODID, as (name, value, label) with values as vobject
    reads them and the label of the line's group (groups themselves are only names)."""
    labels = {line.group: line.value for line in card.getChildren()
              if line.name.upper() == "X-ABLABEL" and line.group}
    found = set()
    for line in card.getChildren():
        if line.name.upper() in ("PRODID", "VERSION", "X-ABLABEL"):
            continue
        value = line.value
        if isinstance(value, list):
            value = tuple(value)
        found.add((line.name.upper(), str(value), labels.get(line.group, "")))
    return found


def run(cli, *arguments):
    result = subprocess.run([cli, *arguments], capture_output=True)
    if result.returncode != 0:
        sys.exit("tsunagi-cli failed: " + result.stderr.decode())


def rows(path):
    with open(path, encoding="utf-8-sig", newline="") as f:
        table = list(csv.reader(f))
    return [dict(zip(table[0], row)) for row in table[1:]]


def main():
    cli, golden = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        out_vcf, out_csv = os.path.join(work, "out.vcf"), os.path.join(work, "out.csv")
        source = os.path.join(golden, "rich-iphone.vcf")
        run(cli, "--vcard3", out_vcf, "--google-csv", out_csv, source)
        with open(source, encoding="utf-8") as f:
            before = properties(vobject.readOne(f.read()))
        with open(out_vcf, encoding="utf-8") as f:
            after_card = vobject.readOne(f.read())
        after = properties(after_card)
        # FN is written as the name is read, N as it was; every other property as it was.
        for item in sorted(before - after):
            failures.append("vCard 3.0 lost %r" % (item,))
        if after_card.fn.value != "Mary Ann O'Brien":
            failures.append("FN is %r" % after_card.fn.value)

        google = rows(out_csv)[0]
        for heading, value in {"Organization Name": "Tsunagi Trading", "Organization Title": "Manager",
                               "Birthday": "1985-06-15", "Nickname": "Mimi",
                               "Notes": "Met at the fair, 2019\nLikes tea",
                               "Phone 2 - Label": "Work Fax", "Phone 3 - Label": "London office",
                               "IM 1 - Service": "Skype", "IM 1 - Value": "mary.obrien",
                               "Address 1 - City": "Tokyo",
                               "Website 1 - Value": "https://mary.example.com"}.items():
            if google.get(heading) != value:
                failures.append("Google CSV %s is %r" % (heading, google.get(heading)))

        # A Google row read and written again: every value under its own heading.
        source = os.path.join(golden, "rich-google.csv")
        again, vcf = os.path.join(work, "again.csv"), os.path.join(work, "google.vcf")
        run(cli, "--google-csv", again, "--vcard3", vcf, source)
        first, second = rows(source)[0], rows(again)[0]
        for heading, value in first.items():
            if value and second.get(heading) != value:
                failures.append("Google CSV again: %s is %r, was %r" % (heading, second.get(heading), value))
        with open(vcf, encoding="utf-8") as f:
            card = vobject.readOne(f.read())
        for name in ("org", "title", "bday", "note", "adr", "url", "nickname", "categories", "uid"):
            if name not in card.contents:
                failures.append("vCard 3.0 of the Google row has no %s" % name.upper())
        if len(card.contents.get("tel", [])) != 3 or len(card.contents.get("email", [])) != 2:
            failures.append("vCard 3.0 of the Google row lost numbers or mails")
    for failure in failures:
        print(failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
