#!/usr/bin/env python3
"""Every name, number and mail that independent readers find in the real shapes arrives.

Reads each file of fixtures/real/ with vobject (vCards) or Python's csv module (address books),
then imports it with tsunagi-cli and checks that each name is in the store (--rows) and each
number and mail in the phone's card file (-o), numbers as the phone dials them.
Usage: check_real_shapes.py TSUNAGI_CLI FIXTURES_FOLDER
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

TELEPHONE = ("電話", "fax", "ファックス", "ポケットベル", "phone", "pager", "telex", "isdn",
             "callback", "tty/tdd")


def dialled(number):
    """A number as the phone dials it: width folded, its extension and separators gone, +81 as
    0 and any other + as 010."""
    text = unicodedata.normalize("NFKC", number).strip()
    text = re.sub(r"^tel:", "", text)
    text = re.split(r";ext=|内線| ext\.?\s*\d| x\d", text, flags=re.I)[0]
    text = re.sub(r"(?<=\d)ー(?=\d)", "-", text)
    international = text.startswith("+")
    digits = re.sub(r"\D", "", text)
    if international:
        digits = ("0" + digits[2:] if not digits[2:].startswith("0") else digits[2:]) \
            if digits.startswith("81") else "010" + digits
    return digits


def vcard_texts(data):
    """The cards of a file, each decoded by its own character set: whole BEGIN/END lines at the
    top level split them; the phone's Shift_JIS cards are known by their CHARSET."""
    if data[1:2] == b"\0" and data[3:4] == b"\0":
        data = data.decode("utf-16-le").encode("utf-8")
    lines = re.split(rb"\r\n|\n|\r", data)
    cards, current, depth = [], [], 0
    for line in lines:
        word = line.strip().upper()
        if word == b"BEGIN:VCARD":
            depth += 1
        if depth:
            current.append(line)
        if word == b"END:VCARD" and depth:
            depth -= 1
            if depth == 0:
                raw = b"\r\n".join(current) + b"\r\n"
                encoding = "cp932" if b"CHARSET=SHIFT_JIS" in raw else "utf-8"
                cards.append(raw.decode(encoding, errors="replace"))
                current = []
    return cards


def from_vcards(path):
    expected = []
    with open(path, "rb") as f:
        for text in vcard_texts(f.read()):
            card = vobject.readOne(text, allowQP=True)
            contents = card.contents
            names = []
            if "n" in contents:
                n = contents["n"][0].value
                names = [part for part in (n.family, n.given) if part]
            if not names and "fn" in contents and contents["fn"][0].value:
                names = [contents["fn"][0].value]
            if not names and "org" in contents:
                names = [contents["org"][0].value[0]]
            numbers = [dialled(t.value) for t in contents.get("tel", [])]
            mails = [e.value.strip() for e in contents.get("email", [])]
            expected.append((names, numbers, mails))
    return expected


def csv_text(path):
    """An address book's text in the first of the character sets its programs write that
    reads it."""
    with open(path, "rb") as f:
        data = f.read()
    for encoding in ("utf-8-sig", "cp932"):
        try:
            return data.decode(encoding)
        except UnicodeDecodeError:
            continue
    return data.decode("cp1252", errors="replace")


def from_csv(path):
    rows = list(csv.reader(io.StringIO(csv_text(path))))
    headings = [h.strip().rstrip(":").strip() for h in rows[0]]
    expected = []
    for row in rows[1:]:
        names, numbers, mails = [], [], []
        for heading, value in zip(headings, row):
            value = value.strip()
            lower = heading.lower()
            if not value or lower.endswith(("- label", "- type")):
                continue
            if any(word in lower for word in TELEPHONE):
                numbers.append(dialled(value))
            elif ("mail" in lower or "メール" in lower) and re.fullmatch(r"[^@\s]+@[^@\s]+", value):
                mails.append(value)
            elif lower in ("first name", "last name", "姓", "名"):
                names.append(value)
        if not names:
            for heading, value in zip(headings, row):
                if heading.lower() in ("file as", "organization", "company", "会社名", "表示名") and value:
                    names = [value.strip()]
                    break
        expected.append((names, numbers, mails))
    return expected


def main():
    cli, folder = sys.argv[1], os.path.join(sys.argv[2], "real")
    failures = 0
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        expected = from_csv(path) if name.endswith(".csv") else from_vcards(path)
        with tempfile.TemporaryDirectory() as work:
            out = os.path.join(work, "out.vcf")
            run = subprocess.run([cli, "--rows", "-o", out, path], capture_output=True)
            if run.returncode != 0:
                print(f"{name}: tsunagi-cli failed: {run.stderr.decode()}")
                failures += 1
                continue
            rows = [json.loads(line) for line in run.stdout.decode().splitlines()]
            stored = "\n".join(v for row in rows for k, v in row.items() if k != "id")
            with open(out, "rb") as f:
                phone = f.read().decode("cp932")
        written = set(re.findall(r"^TEL;[^:\r\n]*:(\d+)\r$", phone, re.M))
        written_mails = set(re.findall(r"^EMAIL;[^:\r\n]*:(.+)\r$", phone, re.M))
        for names, numbers, mails in expected:
            for part in names:
                if part not in stored:
                    print(f"{name}: name {part!r} is not in the store")
                    failures += 1
            for number in numbers:
                if number not in written:
                    print(f"{name}: number {number} is not in the phone's file")
                    failures += 1
            for mail in mails:
                if mail not in written_mails:
                    print(f"{name}: mail {mail} is not in the phone's file")
                    failures += 1
        print(f"{name}: {len(expected)} cards, "
              f"{sum(len(n) for _, n, _ in expected)} numbers, "
              f"{sum(len(m) for _, _, m in expected)} mails")
    if failures:
        print(f"{failures} values lost")
        return 1
    print("every name, number and mail arrived")
    return 0


if __name__ == "__main__":
    sys.exit(main())
