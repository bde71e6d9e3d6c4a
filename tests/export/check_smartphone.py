#!/usr/bin/env python3
"""Reads what tsunagi-cli writes for today's phones with independent readers: the vCard 3.0
with vobject, the Google Contacts CSV with Python's csv module, and checks every name,
reading, number and mail of a phone backup.

Usage: check_smartphone.py TSUNAGI_CLI
"""
import csv
import io
import os
import subprocess
import sys
import tempfile

import vobject

# The phone's backup: name, reading (half-width katakana), numbers, mails, as the phone writes.
CARDS = [
    ("山田;太郎", "ﾔﾏﾀﾞ;ﾀﾛｳ", ["TEL;VOICE;HOME:0312345678", "TEL;CELL:09011112222"],
     ["EMAIL;INTERNET:taro@example.jp", "EMAIL;CELL:taro@docomo.ne.jp"]),
    ("Smith;John", "", ["TEL;VOICE;WORK:0455556666"], ["EMAIL;INTERNET:john@example.com"]),
    ("ｽｽﾞｷ;ｲﾁﾛｳ", "ｽｽﾞｷ;ｲﾁﾛｳ", ["TEL;VOICE:0311112222"], []),
]
# What today's phones must see: names and readings in full-width katakana, typed numbers.
EXPECTED = [
    ("山田", "太郎", "ヤマダ", "タロウ", {("HOME", "0312345678"), ("CELL", "09011112222")},
     {"taro@example.jp", "taro@docomo.ne.jp"}),
    ("Smith", "John", "", "", {("WORK", "0455556666")}, {"john@example.com"}),
    ("スズキ", "イチロウ", "スズキ", "イチロウ", {("VOICE", "0311112222")}, set()),
]


def phone_file():
    lines = []
    for name, reading, numbers, mails in CARDS:
        lines += ["BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:" + name]
        if reading:
            lines.append("SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:" + reading)
        lines += numbers + mails + ["END:VCARD"]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def main():
    cli = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        backup = os.path.join(folder, "backup.vcf")
        with open(backup, "wb") as f:
            f.write(phone_file())
        vcf, google = os.path.join(folder, "phone.vcf"), os.path.join(folder, "google.csv")
        subprocess.run([cli, "--vcard3", vcf, "--google-csv", google, backup], check=True)
        with open(vcf, encoding="utf-8", newline="") as f:
            cards = list(vobject.readComponents(f.read()))
        with open(google, encoding="utf-8", newline="") as f:
            rows = list(csv.DictReader(f))

    if len(cards) != len(EXPECTED) or len(rows) != len(EXPECTED):
        failures.append(f"{len(cards)} cards and {len(rows)} rows for {len(EXPECTED)} entries")
    for card, row, (family, given, rfamily, rgiven, numbers, mails) in zip(cards, rows, EXPECTED):
        if (card.n.value.family, card.n.value.given) != (family, given):
            failures.append(f"vCard N {card.n.value!r}")
        reading = (getattr(card, "x_phonetic_last_name", None), getattr(card, "x_phonetic_first_name", None))
        got = tuple(r.value if r else "" for r in reading)
        if got != (rfamily, rgiven):
            failures.append(f"vCard reading {got} for {family}")
        tels = {(t.params["TYPE"][0], t.value) for t in card.contents.get("tel", [])}
        if tels != numbers:
            failures.append(f"vCard TEL {tels} for {family}")
        if {e.value for e in card.contents.get("email", [])} != mails:
            failures.append(f"vCard EMAIL for {family}")
        if (row["Last Name"], row["First Name"]) != (family, given):
            failures.append(f"CSV name {row['Last Name']} {row['First Name']}")
        if (row["Phonetic Last Name"], row["Phonetic First Name"]) != (rfamily, rgiven):
            failures.append(f"CSV reading for {family}")
        values = {row[k] for k in row if k.startswith("Phone") and k.endswith("Value") and row[k]}
        if values != {n for _, n in numbers}:
            failures.append(f"CSV phones {values} for {family}")
        values = {row[k] for k in row if k.startswith("E-mail") and k.endswith("Value") and row[k]}
        if values != mails:
            failures.append(f"CSV mails {values} for {family}")
    for failure in failures:
        print(failure)
    checked = len(EXPECTED) * 8
    print(f"{checked - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
