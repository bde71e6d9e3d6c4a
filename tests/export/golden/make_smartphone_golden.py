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

# family, given, reading family, reading given, [(type, number as written)],
# [(internet|cell, mail)], note, and the entry's stored lines (smartphone_test.cpp's addPeople)
people = [
    ("山田", "太郎", "ヤマダ", "タロウ",
     [("HOME", "03-1234-5678"), ("CELL", "090-1111-2222"), ("WORK", "045-555-6666"),
      ("VOICE", "0311112222")],
     [("INTERNET", "taro@example.jp"), ("CELL", "taro@docomo.ne.jp")], "first\r\nsecond",
     ["BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎", "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ",
      "X-JPG-OWNER:0", "TEL;VOICE;HOME:03-1234-5678<>TEL;CELL:090-1111-2222<>TEL;VOICE;WORK:045-555-"
      "6666<>TEL;VOICE:0311112222", "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:taro@docomo.ne.jp",
      "NOTE:first\r\nsecond", "X-GNO:0", "X-JPG-MDNO:1", "END:VCARD"]),
    ("Smith", "John", "", "", [], [("INTERNET", "john@example.com")], "a,b;c\\d",
     ["BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Smith;John", "EMAIL;INTERNET:john@example.com<>",
      "NOTE:a,b;c\\d", "END:VCARD"]),
    ("スズキ", "イチロウ", "", "", [("CELL", "080-3333-4444")], [], "",
     ["BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:ｽｽﾞｷ;ｲﾁﾛｳ", "TEL;CELL:080-3333-4444<>", "END:VCARD"]),
    # A name typed without ";" is a whole name, not a family name: it goes where a given name
    # (and Google's First Name) goes, which readers show whole.
    ("", LONG, "", "", [("VOICE", "0120-123-456")], [], "",
     ["BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:" + LONG, "TEL;VOICE:0120-123-456", "END:VCARD"]),
]


def fn(family, given):
    """Latin names given name first; Japanese names family name first, together."""
    if not family or not given:
        return family or given
    japanese = any(ord(c) >= 0x3000 for c in family + given)
    return family + given if japanese else given + " " + family


SEED = "0123456789abcdef" "fedcba9876543210"
M64 = 0xFFFFFFFFFFFFFFFF


def split_mix(x):
    x = (x + 0x9e3779b97f4a7c15) & M64
    x = ((x ^ (x >> 30)) * 0xbf58476d1ce4e5b9) & M64
    x = ((x ^ (x >> 27)) * 0x94d049bb133111eb) & M64
    return x ^ (x >> 31)


def uid(entry_id):
    """A card without a UID of its own has the entry's lasting one: a version 4 UUID (RFC 4122,
    section 4.4) whose bits come from the store's random seed and the entry's id, mixed by
    SplitMix64; the version nibble and the variant bits set as the RFC has them."""
    a, b = int(SEED[:16], 16), int(SEED[16:], 16)
    high = split_mix(a ^ entry_id)
    low = split_mix(b ^ ((entry_id * 0x9e3779b97f4a7c15) & M64))
    high = (high & ~0xF000 & M64) | 0x4000
    low = (low & ~(0xC000 << 48) & M64) | (0x8000 << 48)
    return "urn:uuid:%08x-%04x-%04x-%04x-%012x" % (
        high >> 32, (high >> 16) & 0xFFFF, high & 0xFFFF, low >> 48, low & 0xFFFFFFFFFFFF)


def main():
    vcf = ""
    for entry_id, (family, given, rfamily, rgiven, numbers, mails, note, columns) in enumerate(
            people, 1):
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
        lines.append("UID:" + uid(entry_id))
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
    for family, given, rfamily, rgiven, numbers, mails, note, columns in people:
        # A line break inside a cell is LF alone, as Google's own export writes it.
        row = [given, "", family, rgiven, "", rfamily, "", "", "", "", "", "", "", "",
               note.replace("\r\n", "\n"), "", "* myContacts"]
        for i in range(mail_groups):
            row += ["Mobile" if mails[i][0] == "CELL" else "Other", mails[i][1]] if i < len(mails) else ["", ""]
        for i in range(phone_groups):
            row += [labels[numbers[i][0]], numbers[i][1]] if i < len(numbers) else ["", ""]
        rows.append(row)
    text = io.StringIO(newline="")
    csv.writer(text, lineterminator=CRLF).writerows(rows)
    with open("google.csv", "wb") as f:
        f.write(text.getvalue().encode("utf-8"))


if __name__ == "__main__":
    main()
