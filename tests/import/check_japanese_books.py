#!/usr/bin/env python3
"""Every name, reading, number and mail of the Japanese address books arrives: read each file
of fixtures/japanese/ with Python's csv module, import it with tsunagi-cli, and find each value
in the store (--rows), the phone's card file (readings in half-width katakana, numbers as the
phone dials them), vCard 3.0 (read with vobject) and the Google CSV.
Usage: check_japanese_books.py TSUNAGI_CLI FIXTURES_FOLDER
"""
import csv
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

import vobject

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_real_shapes import dialled  # noqa: E402  one rule for the phone's digits

NAME = ("氏名", "名前")
FAMILY = ("姓", "last name")
GIVEN = ("名", "first name")
READING = ("氏名フリガナ", "フリガナ")
READING_FAMILY = ("姓（ふりがな）", "姓(よみ)", "surname yomi")
READING_GIVEN = ("名（ふりがな）", "名(よみ)", "given yomi")
NUMBER = ("電話", "tel", "携帯", "fax", "phone")
MAIL = ("メール", "e-mail")


def half_width_katakana(text):
    """A reading as the phone writes it: hiragana as katakana, then half-width."""
    text = "".join(chr(ord(c) + 0x60) if "\u3041" <= c <= "\u3096" else c for c in text)
    table = {}
    for code in range(0xFF61, 0xFFA0):
        table[unicodedata.normalize("NFKC", chr(code))] = chr(code)
    out = ""
    for c in unicodedata.normalize("NFKC", text):
        decomposed = unicodedata.normalize("NFD", c)
        if decomposed != c and decomposed[0] in table:
            out += table[decomposed[0]] + ("\uff9e" if decomposed[1] == "\u3099" else "\uff9f")
        else:
            out += table.get(c, c)
    return out


def rows_of(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xff\xfe"):
        text = data[2:].decode("utf-16-le")
    else:
        for encoding in ("utf-8-sig", "cp932"):
            try:
                text = data.decode(encoding)
                break
            except UnicodeDecodeError:
                continue
    first = text.split("\n", 1)[0]
    delimiter = max(",\t;", key=first.count)
    table = list(csv.reader(io.StringIO(text, newline=""), delimiter=delimiter))
    headings = [h.strip() for h in table[0]]
    people = []
    for row in table[1:]:
        cells = {h: re.sub(r'^="(.*)"$', r"\1", v.strip()) for h, v in zip(headings, row)}
        person = {"family": "", "given": "", "reading": "", "numbers": [], "mails": [],
                  "display": ""}
        for heading, value in cells.items():
            lower = heading.lower()
            if not value:
                continue
            if heading == "表示名":  # the name as the user wrote it, for the phone's line
                person["display"] = value
            elif lower in NAME:
                person["family"], _, person["given"] = value.replace("\u3000", " ").partition(" ")
            elif lower in FAMILY:
                person["family"] = value
            elif lower in GIVEN:
                person["given"] = value
            elif lower in READING:
                person["reading"] = value.replace("\u3000", " ").replace(" ", ";", 1)
            elif lower in READING_FAMILY:
                person["reading"] = value + person["reading"]
            elif lower in READING_GIVEN:
                person["reading"] = person["reading"] + ";" + value
            elif any(word in lower for word in MAIL):
                person["mails"].append(value)
            elif any(word in lower for word in NUMBER):
                person["numbers"].append(dialled(value))
        people.append(person)
    return people


def main():
    cli, folder = sys.argv[1], os.path.join(sys.argv[2], "japanese")
    failures = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        people = rows_of(path)
        with tempfile.TemporaryDirectory() as work:
            phone, vcf, google = (os.path.join(work, n) for n in ("p.vcf", "v.vcf", "g.csv"))
            run = subprocess.run([cli, "--rows", "-o", phone, "--vcard3", vcf, "--google-csv",
                                  google, path], capture_output=True)
            if run.returncode != 0:
                failures.append("%s: tsunagi-cli failed: %s" % (name, run.stderr.decode()))
                continue
            message = run.stderr.decode()
            stored = "\n".join(v for line in run.stdout.decode().splitlines()
                               for k, v in json.loads(line).items() if k != "id")
            with open(phone, "rb") as f:
                phone_text = f.read().decode("cp932")
            with open(vcf, encoding="utf-8") as f:
                cards = list(vobject.readComponents(f.read()))
            with open(google, encoding="utf-8-sig", newline="") as f:
                google_rows = list(csv.DictReader(f))
        if len(cards) != len(people):
            failures.append("%s: %d people, %d cards" % (name, len(people), len(cards)))
            continue
        for person, card, row in zip(people, cards, google_rows):
            label = "%s: %s %s" % (name, person["family"], person["given"])
            phone_name = person["display"] or "%s;%s" % (person["family"], person["given"])
            if "N;CHARSET=SHIFT_JIS:" + phone_name not in stored:
                failures.append(label + ": the name is not %r in the store" % phone_name)
            n = card.n.value
            if (n.family, n.given) != (person["family"], person["given"]):
                failures.append(label + ": vCard 3.0 has N %r;%r" % (n.family, n.given))
            if (row["Last Name"], row["First Name"]) != (person["family"], person["given"]):
                failures.append(label + ": the Google CSV has %r %r" % (row["Last Name"], row["First Name"]))
            if person["reading"]:
                written = "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:" + half_width_katakana(person["reading"])
                if written not in phone_text:
                    failures.append(label + ": no reading line %r in the phone's file" % written)
                if not row["Phonetic Last Name"]:
                    failures.append(label + ": no reading in the Google CSV")
            dialled_in_phone = set(re.findall(r"^TEL;[^:\r\n]*:(\d+)\r$", phone_text, re.M))
            for number in person["numbers"]:
                if number not in dialled_in_phone:
                    failures.append(label + ": number %s not in the phone's file" % number)
                if not any(dialled(str(t.value)) == number for t in card.contents.get("tel", [])):
                    failures.append(label + ": number %s not in vCard 3.0" % number)
            for mail in person["mails"]:
                if "EMAIL;" not in phone_text or (":" + mail + "\r") not in phone_text:
                    failures.append(label + ": mail %s not in the phone's file" % mail)
                if mail not in [e.value for e in card.contents.get("email", [])]:
                    failures.append(label + ": mail %s not in vCard 3.0" % mail)
                if mail not in row.values():
                    failures.append(label + ": mail %s not in the Google CSV" % mail)
        for heading in ("氏名", "メールアドレス", "フリガナ", "携帯メール"):
            if heading in message:
                failures.append("%s: the message says %s was kept aside" % (name, heading))
        print("%s: %d people" % (name, len(people)))
    for failure in failures:
        print(failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
