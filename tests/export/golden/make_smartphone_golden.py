#!/usr/bin/env python3
"""Writes the expected vCard 3.0 and Google Contacts CSV for the entries of
smartphone_test.cpp, spelled out from RFC 2426 and from the headings of Google's own export.

Run it from this folder after a deliberate change of a layout, and read the diff.
"""
import csv
import io

CRLF = "\r\n"


def fold(line):
    """RFC 2426 folding: lines of at most 75 octets, each continuation begun by one blank
    (which counts), never inside a UTF-8 sequence."""
    data = line.encode("utf-8")
    out, limit = [], 75
    while len(data) > limit:
        cut = limit
        while data[cut] & 0xC0 == 0x80:
            cut -= 1
        out.append(data[:cut])
        data = b" " + data[cut:]
        limit = 75
    out.append(data)
    return b"\r\n".join(out).decode("utf-8")


def esc(text):
    return (text.replace("\\", "\\\\").replace(",", "\\,").replace(";", "\\;")
            .replace("\r\n", "\\n").replace("\n", "\\n"))


LONG = "寿限無寿限無五劫の擦り切れ海砂利水魚の水行末雲来末風来末食う寝る処に住む処"

# family, given, reading family, reading given, [(type, number)], [(internet|cell, mail)], note
people = [
    ("山田", "太郎", "ヤマダ", "タロウ",
     [("HOME", "0312345678"), ("CELL", "09011112222"), ("WORK", "0455556666"), ("VOICE", "0311112222")],
     [("INTERNET", "taro@example.jp"), ("CELL", "taro@docomo.ne.jp")], "first\r\nsecond"),
    ("Smith", "John", "", "", [], [("INTERNET", "john@example.com")], "a,b;c\\d"),
    ("スズキ", "イチロウ", "", "", [("CELL", "08033334444")], [], ""),
    (LONG, "", "", "", [("VOICE", "0120123456")], [], ""),
]


def fn(family, given):
    if not family or not given:
        return family or given
    japanese = all(not c.isascii() for c in family + given)
    return family + ("" if japanese else " ") + given


vcf = ""
for family, given, rfamily, rgiven, numbers, mails, note in people:
    lines = ["BEGIN:VCARD", "VERSION:3.0", "N:%s;%s;;;" % (esc(family), esc(given)),
             "FN:" + esc(fn(family, given))]
    if rfamily:
        lines.append("X-PHONETIC-LAST-NAME:" + esc(rfamily))
    if rgiven:
        lines.append("X-PHONETIC-FIRST-NAME:" + esc(rgiven))
    lines += ["TEL;TYPE=%s:%s" % number for number in numbers]
    lines += ["EMAIL;TYPE=INTERNET%s:%s" % (",CELL" if kind == "CELL" else "", mail)
              for kind, mail in mails]
    if note:
        lines.append("NOTE:" + esc(note))
    lines.append("END:VCARD")
    vcf += "".join(fold(line) + CRLF for line in lines)
with open("smartphone.vcf", "wb") as f:
    f.write(vcf.encode("utf-8"))

# Google Contacts: its 17 fixed headings, then as many e-mail and phone groups as the widest
# entry needs; RFC 4180 quoting.
fixed = ["First Name", "Middle Name", "Last Name", "Phonetic First Name", "Phonetic Middle Name",
         "Phonetic Last Name", "Name Prefix", "Name Suffix", "Nickname", "File As",
         "Organization Name", "Organization Title", "Organization Department", "Birthday",
         "Notes", "Photo", "Labels"]
mail_groups = max(len(p[5]) for p in people)
phone_groups = max(len(p[4]) for p in people)
heading = fixed[:]
for i in range(1, mail_groups + 1):
    heading += ["E-mail %d - Label" % i, "E-mail %d - Value" % i]
for i in range(1, phone_groups + 1):
    heading += ["Phone %d - Label" % i, "Phone %d - Value" % i]
labels = {"HOME": "Home", "CELL": "Mobile", "WORK": "Work", "VOICE": "Other"}
rows = [heading]
for family, given, rfamily, rgiven, numbers, mails, note in people:
    row = [given, "", family, rgiven, "", rfamily, "", "", "", "", "", "", "", "", note, "",
           "* myContacts"]
    for i in range(mail_groups):
        row += ["Mobile" if mails[i][0] == "CELL" else "Other", mails[i][1]] if i < len(mails) else ["", ""]
    for i in range(phone_groups):
        row += [labels[numbers[i][0]], numbers[i][1]] if i < len(numbers) else ["", ""]
    rows.append(row)
text = io.StringIO(newline="")
csv.writer(text, lineterminator=CRLF).writerows(rows)
with open("google.csv", "wb") as f:
    f.write(text.getvalue().encode("utf-8"))
