#!/usr/bin/env python3
"""The shapes corpus, fact by fact: each address book of files/ goes through tsunagi-cli into
the phone's file, vCard 3.0 and the Google CSV; vobject, Python's csv module and a reading of
the phone's lines by hand find in them every fact written by hand in NAME.facts.json, and the
message says what the facts say it says, and nothing they say it must not.
Then every output is read back and written again: vCard 3.0, the Google CSV and the phone's
file each come out the same, and vCard 3.0 through the Google CSV gives the same Google CSV.
Usage: check_shapes.py TSUNAGI_CLI SHAPES_FOLDER
"""
import base64
import csv
import glob
import io
import json
import os
import re
import subprocess
import sys
import tempfile

import vobject


def run(cli, *arguments):
    result = subprocess.run([cli, *arguments], capture_output=True)
    if result.returncode != 0:
        raise RuntimeError(result.stderr.decode())
    return result.stderr.decode()


def digits(text):
    return re.sub(r"\D", "", text)


def phone_cards(path):
    """The phone's file as cards of (property head, value) pairs, read by hand: Shift_JIS,
    CR LF, a line's head up to its first colon."""
    with open(path, "rb") as f:
        text = f.read().decode("cp932")
    cards, card = [], None
    for line in text.split("\r\n"):
        if line == "BEGIN:VCARD":
            card = []
        elif line == "END:VCARD":
            cards.append(card)
        elif card is not None and ":" in line:
            head, _, value = line.partition(":")
            card.append((head, value))
    return cards


class Card:
    """One vCard 3.0 card as vobject reads it, each line with the label of its group."""

    def __init__(self, component):
        self.lines = [c for c in component.getChildren() if not isinstance(c, vobject.base.Component)]
        self.labels = {line.group: line.value for line in self.lines
                       if line.name.upper() == "X-ABLABEL" and line.group}

    def all(self, name):
        return [line for line in self.lines if line.name.upper() == name]

    def one(self, name):
        found = self.all(name)
        return found[0].value if found else None

    def label(self, line):
        return self.labels.get(line.group, "") if line.group else ""

    def types(self, line):
        return [t.upper() for t in line.params.get("TYPE", [])]


class Checker:
    def __init__(self, name):
        self.name, self.failures = name, []

    def expect(self, condition, what):
        if not condition:
            self.failures.append("%s: %s" % (self.name, what))

    def person(self, index, facts, card, row, phone):
        who = "person %d (%s)" % (index + 1, facts.get("fn", ""))
        expect = lambda condition, what: self.expect(condition, who + ": " + what)
        n = card.one("N")
        if "n" in facts:
            parts = list(facts["n"]) + [""] * (5 - len(facts["n"]))
            got = [n.family, n.given, n.additional, n.prefix, n.suffix]
            got = [" ".join(p) if isinstance(p, list) else p for p in got]
            expect(got == parts, "vCard 3.0 N is %r, not %r" % (got, parts))
            google = [row.get(h, "") for h in ("Last Name", "First Name", "Middle Name",
                                               "Name Prefix", "Name Suffix")]
            expect(google == parts, "the Google CSV's name is %r, not %r" % (google, parts))
        if "fn" in facts:
            expect(card.one("FN") == facts["fn"], "FN is %r" % card.one("FN"))
        if "phone_name" in facts:
            names = [v for h, v in phone if h == "N;CHARSET=SHIFT_JIS"]
            expect(names == ([facts["phone_name"]] if facts["phone_name"] else []),
                   "the phone's name line is %r" % names)
        if "reading" in facts:
            family, given = facts["reading"]
            expect((card.one("X-PHONETIC-LAST-NAME") or "", card.one("X-PHONETIC-FIRST-NAME") or "")
                   == (family, given), "vCard 3.0 reading")
            expect((row["Phonetic Last Name"], row["Phonetic First Name"]) == (family, given),
                   "the Google CSV's reading")
        groups = lambda group, parts: [tuple(row.get("%s %d - %s" % (group, i, p), "") for p in parts)
                                       for i in range(1, 30) if row.get("%s %d - %s" % (group, i, parts[-1]))]
        if "tel" in facts:
            google = groups("Phone", ("Label", "Value"))
            expect(sorted(google) == sorted((l, v) for v, l in facts["tel"]),
                   "the Google CSV's numbers are %r" % google)
            tels = [(digits(str(t.value)), t) for t in card.all("TEL")]
            expect(sorted(d for d, _ in tels) == sorted(digits(v) for v, _ in facts["tel"]),
                   "vCard 3.0 numbers %r" % [str(t.value) for _, t in tels])
            for value, label in facts["tel"]:
                word = label.lstrip("* ").strip()
                line = next((t for d, t in tels if d == digits(value)), None)
                if line is not None and word not in ("Mobile", "Home", "Work", "Other", "Car",
                                                     "Main", "Work Mobile", "Telex", "MMS",
                                                     "Callback", "Home Fax", "Work Fax", "Pager"):
                    expect(card.label(line) == word, "vCard 3.0 label of %s is %r" % (value, card.label(line)))
        if "phone_tel" in facts:
            got = [v for h, v in phone if h.startswith("TEL;")]
            expect(sorted(got) == sorted(facts["phone_tel"]), "the phone's numbers are %r" % got)
        if "email" in facts:
            google = groups("E-mail", ("Label", "Value"))
            expect(sorted(google) == sorted((l, v) for v, l in facts["email"]),
                   "the Google CSV's mails are %r" % google)
            expect(sorted(str(e.value) for e in card.all("EMAIL")) ==
                   sorted(v for v, _ in facts["email"]), "vCard 3.0 mails")
        for key, group, prop in (("dates", "Event", "X-ABDATE"), ("related", "Relation", "X-ABRELATEDNAMES"),
                                 ("url", "Website", "URL")):
            if key in facts:
                google = groups(group, ("Label", "Value"))
                expect(sorted(google) == sorted((l, v) for v, l in facts[key]),
                       "the Google CSV's %s are %r" % (group, google))
                expect(sorted(str(x.value) for x in card.all(prop)) == sorted(v for v, _ in facts[key]),
                       "vCard 3.0 %s" % prop)
        if "impp" in facts:
            google = groups("IM", ("Service", "Value"))
            expect(sorted(google) == sorted((s, v) for v, s in facts["impp"]),
                   "the Google CSV's messengers are %r" % google)
            for value, service in facts["impp"]:
                expect(any(str(i.value).endswith(":" + value) and
                           i.params.get("X-SERVICE-TYPE", [""])[0] == service for i in card.all("IMPP")),
                       "vCard 3.0 has no IMPP %s of %s" % (value, service))
        if "categories" in facts:
            got = [c for line in card.all("CATEGORIES") for c in line.value]
            expect(got == facts["categories"], "vCard 3.0 CATEGORIES %r" % got)
            labels = [l for l in row["Labels"].split(" ::: ") if l != "* myContacts"]
            expect(labels == facts["categories"], "the Google CSV's Labels %r" % labels)
        if "nickname" in facts:
            got = [n for line in card.all("NICKNAME") for n in
                   (line.value if isinstance(line.value, list) else [line.value])]
            expect(got == facts["nickname"], "vCard 3.0 NICKNAME %r" % got)
            expect(row["Nickname"] == " ::: ".join(facts["nickname"]), "the Google CSV's Nickname")
        for key, prop, heading in (("bday", "BDAY", "Birthday"), ("title", "TITLE", "Organization Title"),
                                   ("phonetic_org", "X-PHONETIC-ORG", None)):
            if key in facts:
                expect((card.one(prop) or "") == facts[key], "vCard 3.0 %s is %r" % (prop, card.one(prop)))
                if heading:
                    expect(row[heading] == facts[key], "the Google CSV's %s is %r" % (heading, row[heading]))
        if "org" in facts:
            org = card.one("ORG")
            expect((org[0] if org else "") == facts["org"], "vCard 3.0 ORG %r" % org)
            expect(row["Organization Name"] == facts["org"], "the Google CSV's Organization Name")
        if "photo" in facts:
            photos = card.all("PHOTO")
            if facts["photo"] == "embedded":
                expect(any(isinstance(p.value, bytes) and p.value[:2] == b"\xff\xd8" for p in photos),
                       "vCard 3.0 has no embedded JPEG")
            for link in facts.get("photo_links", []):
                expect(any(p.value == link for p in photos), "vCard 3.0 has no photo link %s" % link)
                expect(link in row.values(), "the Google CSV has no photo link %s" % link)
        else:
            expect(not card.all("PHOTO"), "vCard 3.0 has a photo")
            expect(not row.get("Photo"), "the Google CSV has a photo")
        # Nothing empty is written.
        for line in card.lines:
            value = line.value
            text = "".join("".join(map(str, p)) if isinstance(p, (list, tuple)) else str(p)
                           for p in ([value] if not isinstance(value, (list, tuple)) else value)) \
                if not isinstance(value, (bytes, vobject.vcard.Name, vobject.vcard.Address)) else "x"
            if isinstance(value, vobject.vcard.Address):
                text = "".join(str(getattr(value, p)) for p in ("box", "extended", "street", "city",
                                                               "region", "code", "country"))
            expect(text.strip() or line.name.upper() in ("N",), "vCard 3.0 writes an empty %s" % line.name)


def check(cli, source, facts, work):
    checker = Checker(os.path.basename(source))
    vcf, google, phone = (os.path.join(work, n) for n in ("out.vcf", "out.csv", "phone.vcf"))
    message = run(cli, "--vcard3", vcf, "--google-csv", google, "-o", phone, source)
    with open(vcf, encoding="utf-8") as f:
        written = f.read()
    try:
        cards = [Card(c) for c in vobject.readComponents(written)]
    except Exception as error:  # vobject refuses the file: every card is lost to it
        checker.expect(False, "vobject cannot read vCard 3.0: %s" % error)
        return checker.failures
    with open(google, encoding="utf-8", newline="") as f:
        rows = list(csv.DictReader(f))
    phones = phone_cards(phone)
    people = facts["people"]
    checker.expect(len(cards) == len(people) == len(rows) == len(phones),
                   "%d people, %d cards, %d rows, %d phone cards" % (len(people), len(cards), len(rows), len(phones)))
    for i, (person, card, row, pcard) in enumerate(zip(people, cards, rows, phones)):
        checker.person(i, person, card, row, pcard)
    for text in facts.get("message_has", []):
        checker.expect(text in message, "the message does not say %r: %s" % (text, message))
    for text in facts.get("message_lacks", []):
        checker.expect(text not in message, "the message says %r: %s" % (text, message))

    checker.failures += round_trips(cli, source, work, vcf, google, phone)
    return checker.failures


def round_trips(cli, source, work, vcf, google, phone):
    """Every output read back and written again comes out the same."""
    checker = Checker(os.path.basename(source))
    with open(vcf, encoding="utf-8") as f:
        written = f.read()
    try:  # vobject reads every card we write
        list(vobject.readComponents(written))
    except Exception as error:
        checker.expect(False, "vobject cannot read vCard 3.0: %s" % error)
    again = os.path.join(work, "again")
    run(cli, "--vcard3", again + ".vcf", vcf)
    with open(again + ".vcf", encoding="utf-8") as f:
        checker.expect(f.read() == written, "vCard 3.0 read back and written again differs")
    run(cli, "--google-csv", again + ".csv", google)
    with open(google, "rb") as f, open(again + ".csv", "rb") as g:
        checker.expect(f.read() == g.read(), "the Google CSV read back and written again differs")
    run(cli, "--google-csv", again + "-through.csv", vcf)
    with open(google, "rb") as f, open(again + "-through.csv", "rb") as g:
        checker.expect(f.read() == g.read(), "the Google CSV made from vCard 3.0 differs")
    run(cli, "-o", again + "-phone.vcf", phone)
    with open(phone, "rb") as f, open(again + "-phone.vcf", "rb") as g:
        checker.expect(f.read() == g.read(), "the phone's file read back and written again differs")
    return checker.failures


def main():
    cli, folder = sys.argv[1], os.path.join(sys.argv[2], "files")
    failures, count = [], 0
    for facts_path in sorted(glob.glob(os.path.join(folder, "*.facts.json"))):
        source = facts_path[:-len(".facts.json")]
        with open(facts_path, encoding="utf-8") as f:
            facts = json.load(f)
        with tempfile.TemporaryDirectory() as work:
            try:
                failures += check(cli, source, facts, work)
            except RuntimeError as error:
                failures.append("%s: tsunagi-cli failed: %s" % (os.path.basename(source), error))
        count += len(facts["people"])
    # Every earlier fixture of other programs' books: its outputs read back unchanged.
    tests = os.path.dirname(os.path.abspath(sys.argv[2]))
    earlier = sorted(glob.glob(os.path.join(tests, "import/fixtures/*.vcf")) +
                     glob.glob(os.path.join(tests, "import/fixtures/real/*")) +
                     glob.glob(os.path.join(tests, "import/fixtures/japanese/*")) +
                     glob.glob(os.path.join(tests, "export/golden/rich-*.vcf")) +
                     glob.glob(os.path.join(tests, "export/golden/rich-google.csv")))
    for source in earlier:
        with tempfile.TemporaryDirectory() as work:
            vcf, google, phone = (os.path.join(work, n) for n in ("out.vcf", "out.csv", "phone.vcf"))
            try:
                run(cli, "--vcard3", vcf, "--google-csv", google, "-o", phone, source)
                failures += round_trips(cli, source, work, vcf, google, phone)
            except RuntimeError as error:
                # A note of megabytes makes a Google CSV line longer than the reader takes.
                if "長すぎます" not in str(error):
                    failures.append("%s: tsunagi-cli failed: %s" % (os.path.basename(source), error))
    for failure in failures:
        print(failure)
    print("%d people in %d files of facts, %d more files read back; %d failures" % (
        count, len(glob.glob(os.path.join(folder, "*.facts.json"))), len(earlier), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
