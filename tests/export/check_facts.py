#!/usr/bin/env python3
"""Every fact of every fixture comes through: each value a card (read by vobject) or a row
(read by Python's csv module) holds is found again in the vCard 3.0 that tsunagi-cli writes,
and in its Google CSV or named in its message. Then the round trips: vCard 3.0 read and
written again is the same file, so is the Google CSV, and vCard 3.0 through the Google CSV
keeps every value Google's columns hold.
Usage: check_facts.py TSUNAGI_CLI FIXTURES_FOLDER
"""
import csv
import glob
import io
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

import vobject

csv.field_size_limit(1 << 30)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "import"))
from check_real_shapes import csv_text, vcard_texts  # noqa: E402  one reading of each

# What says nothing of the person, or is made anew on every export.
SILENT = {"VERSION", "PRODID", "REV", "UID", "X-ABUID", "X-ABSHOWAS", "KIND", "X-IRMC-LUID",
          "X-JPG-OWNER", "X-JPG-MDNO", "X-GNO", "CLIENTPIDMAP", "MEMBER", "X-ABLABEL", "FN",
          "AGENT", "BEGIN", "END"}
# What a Google CSV cannot hold, and so is named in the message rather than written.
NAMED_FOR_GOOGLE = {"PHOTO", "LOGO", "KEY", "SOUND"}


def folded(text):
    """A value as compared: width folded, kana as katakana, blanks gone, lower case."""
    text = unicodedata.normalize("NFKC", str(text)).replace("\\", "")
    text = "".join(chr(ord(c) + 0x60) if "\u3041" <= c <= "\u3096" else c for c in text)
    return re.sub(r"[\s\-()+.]", "", text).lower()


def number_key(text):
    text = re.sub(r"^tel:", "", unicodedata.normalize("NFKC", text).strip(), flags=re.I)
    text = re.split(r";ext=| ext\.?\s*| x(?=\d)|内線", text, flags=re.I)[0]
    digits = re.sub(r"\D", "", text)
    if text.startswith("+81"):
        digits = "0" + digits[2:].lstrip("0")
    return digits or folded(text)


def pieces(line):
    """The facts of one property: its value, or each part of a compound one."""
    name = line.name.upper()
    value = line.value
    if name == "TEL":
        return [number_key(str(value))]
    if name == "X-ANDROID-CUSTOM":  # Android's own row: its kind, then its value
        row = str(value).split(";")
        return [folded(row[1])] if len(row) > 1 and folded(row[1]) else []
    if name in ("PHOTO", "LOGO", "KEY"):
        return [] if isinstance(value, bytes) else [folded(value)]
    if isinstance(value, vobject.vcard.Name):
        parts = [value.family, value.given, value.additional, value.prefix, value.suffix]
    elif isinstance(value, vobject.vcard.Address):
        parts = [value.box, value.extended, value.street, value.city, value.region, value.code,
                 value.country]
    elif isinstance(value, (list, tuple)):
        parts = list(value)
    else:
        parts = re.split(r"[;,]", str(value)) if name in ("SOUND", "X-MS-N-YOMI") else [value]
    out = []
    for part in parts:
        for piece in (part if isinstance(part, (list, tuple)) else [part]):
            piece = str(piece)
            if name in ("BDAY", "X-ABDATE", "ANNIVERSARY"):
                piece = re.sub(r"^(\d{4})(\d\d)(\d\d)$", r"\1-\2-\3", piece)
                piece = re.sub(r"^\d{4}-(\d\d-\d\d)$", r"--\1", piece) \
                    if line.params.get("X-APPLE-OMIT-YEAR") else piece
                piece = piece.replace("--", "")[-5:] if piece.startswith("--") else piece
            if name in ("IMPP",):
                piece = piece.split(":", 1)[-1]
            if folded(piece):
                out.append(folded(piece))
    return out


def card_facts(data):
    """The facts of every card of a file's bytes, each card read by vobject in its own
    character set."""
    facts, unread = set(), 0
    for text in vcard_texts(data):
        try:
            card = vobject.readOne(text.lstrip("\ufeff"), allowQP=True)
        except Exception:  # a shape vobject cannot read: nothing to compare it with
            unread += 1
            continue
        for line in card.getChildren():
            if isinstance(line, vobject.base.Component):
                continue
            if line.name.upper() in SILENT or line.name.upper().startswith("X-JPG"):
                continue
            for fact in pieces(line):
                facts.add((line.name.upper(), fact))
    return facts, unread


def output_values(text):
    values = set()
    for card in vobject.readComponents(text):
        for line in card.getChildren():
            for fact in pieces(line):
                values.add(fact)
            if line.name.upper() == "FN":
                values.add(folded(line.value))
    return values


def csv_rows(path):
    table = list(csv.reader(io.StringIO(csv_text(path), newline="")))
    return table[0], table[1:]


def google_cells(path):
    """Each value cell of a Google CSV (labels left out) as the ways it may be found again: the
    whole cell, and its parts (several values joined with " ::: ", lines of a note)."""
    heading, rows = csv_rows(path)
    cells = []
    for row in rows:
        for title, cell in zip(heading, row):
            if not cell.strip() or title.endswith(("Label", "Service")) or title == "Labels":
                continue
            phone = title.startswith("Phone") and title.endswith("Value")
            key = number_key if phone else folded
            parts = [part.strip() for part in re.split(r" ::: |\n", cell) if part.strip()]
            cells.append((key(cell.strip()) if " ::: " not in cell else None,
                          [key(part) for part in parts]))
    return cells


def google_values(path):
    values = set()
    for whole, parts in google_cells(path):
        values.add(whole)
        values.update(parts)
    heading, rows = csv_rows(path)
    for row in rows:  # the labels, as words
        for title, cell in zip(heading, row):
            if title == "Labels" or title.endswith(("Label", "Service")):
                values.update(folded(p.strip().lstrip("* ")) for p in cell.split(" ::: "))
    return values


def run(cli, *arguments):
    result = subprocess.run([cli, *arguments], capture_output=True)
    if result.returncode != 0:
        raise RuntimeError(result.stderr.decode())
    return result.stdout.decode() + result.stderr.decode()


def main():
    cli, fixtures = sys.argv[1], sys.argv[2]
    sources = sorted(glob.glob(os.path.join(fixtures, "import/fixtures/*.vcf")) +
                     glob.glob(os.path.join(fixtures, "import/fixtures/real/*.vcf")) +
                     glob.glob(os.path.join(fixtures, "import/fixtures/real/*.csv")) +
                     [os.path.join(fixtures, "export/golden/rich-iphone.vcf"),
                      os.path.join(fixtures, "export/golden/rich-google.csv")])
    failures, facts_total = [], 0
    with tempfile.TemporaryDirectory() as work:
        for source in sources:
            name = os.path.basename(source)
            vcf, google = os.path.join(work, "out.vcf"), os.path.join(work, "out.csv")
            message = run(cli, "--vcard3", vcf, "--google-csv", google, source)
            with open(vcf, encoding="utf-8") as f:
                written = f.read()
            in_vcard, in_google = output_values(written), google_values(google)
            if source.endswith(".vcf"):
                with open(source, "rb") as f:
                    facts, unread = card_facts(f.read())
                if unread:
                    print("%s: %d cards vobject cannot read" % (name, unread))
            else:
                heading, rows = csv_rows(source)
                facts = set()
                for row in rows:
                    for title, cell in zip(heading, row):
                        lower = title.lower()
                        if not cell.strip() or lower.endswith(("label", "type")) or \
                                lower in ("labels", "group membership") or cell.strip() == "0/0/00":
                            continue
                        for part in cell.split(" ::: "):
                            phone = "phone" in lower or "電話" in title or "fax" in lower or \
                                "ファックス" in title or "ポケットベル" in title or "pager" in lower
                            facts.add(("TEL" if phone else title,
                                       number_key(part) if phone else folded(part)))
            facts_total += len(facts)
            for prop, fact in sorted(facts):
                if fact not in in_vcard:
                    failures.append("%s: vCard 3.0 lost %s %r" % (name, prop, fact))
                if fact not in in_google and prop not in NAMED_FOR_GOOGLE:
                    failures.append("%s: Google CSV lost %s %r" % (name, prop, fact))
                if prop in NAMED_FOR_GOOGLE and fact not in in_google and "写真" not in message \
                        and prop == "PHOTO":
                    failures.append("%s: a photo went unnamed" % name)

            # Round trips.
            again_vcf, again_csv = os.path.join(work, "again.vcf"), os.path.join(work, "again.csv")
            run(cli, "--vcard3", again_vcf, vcf)
            with open(again_vcf, encoding="utf-8") as f:
                if f.read() != written:
                    failures.append("%s: vCard 3.0 read and written again differs" % name)
            try:
                run(cli, "--google-csv", again_csv, google)
            except RuntimeError as error:
                # A note of megabytes is longer than any line the CSV reader takes.
                if "長すぎます" not in str(error):
                    raise
                print("%s: its Google CSV has a line over 1 MiB, not read again" % name)
                continue
            with open(google, "rb") as f, open(again_csv, "rb") as g:
                if f.read() != g.read():
                    failures.append("%s: the Google CSV read and written again differs" % name)
            through = os.path.join(work, "through.vcf")
            run(cli, "--vcard3", through, google)
            with open(through, encoding="utf-8") as f:
                kept = output_values(f.read())
            for whole, parts in google_cells(google):
                if whole not in kept and not all(part in kept for part in parts):
                    failures.append("%s: vCard 3.0 from the Google CSV lost %r" % (name, parts))
    for failure in failures:
        print(failure)
    print("%d facts in %d files; %d failures" % (facts_total, len(sources), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
