#!/usr/bin/env python3
"""Writes a rich iPhone card and a rich Google Contacts row, holding every kind of property a
smartphone or Google keeps, and what Tsunagi must write of them for today's phones, spelled
out by hand from RFC 2426 and Google's export headings.

The rules, line by line: N as the card has it, FN read as the name is read (Latin given name
first), readings as they came, each number and mail in its own line as the card wrote it
(types, label group, the number as written), then every other property in the card's order
(PRODID, which says nothing of the person, left out), each folded at 75 octets, and the card's
own UID. Google's CSV puts each under its heading; an iPhone's built-in label reads as words.
Run it from this folder after a deliberate change, and read the diff.
"""
import csv
import io

from make_smartphone_golden import fold

CRLF = "\r\n"
PHOTO = ("/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8UHRofHh0aHBwgJC4n"
         "ICIsIxwcKDcpLDAxNDQ0Hyc5PTgyPC4zNDL/2wBDAQkJCQwLDBgNDRgyIRwhMjIyMjIyMjIyMjIy")


def card(lines):
    return "".join(fold(line) + CRLF for line in lines)


# The iPhone's card: its photo as iOS folds it (a leading space, 75 octets).
iphone = [
    "BEGIN:VCARD", "VERSION:3.0", "PRODID:-//Apple Inc.//iPhone OS 17.2//EN",
    "N:O'Brien;Mary Ann;;;", "FN:Mary Ann O'Brien", "NICKNAME:Mimi",
    "X-PHONETIC-FIRST-NAME:めありー", "X-PHONETIC-LAST-NAME:おぶらいえん",
    "ORG:Tsunagi Trading;Sales", "TITLE:Manager",
    "item1.EMAIL;type=INTERNET;type=pref:mary@example.com", "item1.X-ABLabel:_$!<Other>!$_",
    "EMAIL;type=INTERNET;type=HOME:mimi@example.org",
    "TEL;type=CELL;type=VOICE;type=pref:+1 (415) 555-0100",
    "TEL;type=WORK;type=FAX:+81 3-1234-5679",
    "item2.TEL:+44 20 7946 0000", "item2.X-ABLabel:London office",
    "TEL;type=PAGER:03-9999-0000",
    "item3.ADR;type=HOME;type=pref:;;1-2-3 Chiyoda;Tokyo;;100-0001;Japan", "item3.X-ABADR:jp",
    "item4.URL;type=pref:https\\://mary.example.com", "item4.X-ABLabel:_$!<HomePage>!$_",
    "BDAY:1985-06-15", "NOTE:Met at the fair\\, 2019\\nLikes tea", "CATEGORIES:Friends,Work",
    "IMPP;X-SERVICE-TYPE=Skype;type=pref:skype:mary.obrien",
    "UID:3F2504E0-4F89-41D3-9A0C-0305E82C3301",
    "PHOTO;ENCODING=b;TYPE=JPEG:" + PHOTO, "END:VCARD"]
with open("rich-iphone.vcf", "wb") as f:
    f.write(card(iphone).encode("utf-8"))

# What today's phones get back: parameter names in upper case, types in one TYPE list (a
# number's and a mail's in upper case, and no VOICE beside another type of a number); the
# name, its reading, the numbers, the mails and the note first, then the company, the title,
# dates, addresses, web pages, messengers and groups, then whatever has no kind of its own (a
# line of a group right after the line it belongs to), the photo and the UID. Labelled lines
# are grouped afresh in the order they are written.
expected = [
    "BEGIN:VCARD", "VERSION:3.0",
    "N:O'Brien;Mary Ann;;;", "FN:Mary Ann O'Brien", "NICKNAME:Mimi",
    "X-PHONETIC-LAST-NAME:おぶらいえん", "X-PHONETIC-FIRST-NAME:めありー",
        "TEL;TYPE=CELL,PREF:+1 (415) 555-0100",
    "TEL;TYPE=WORK,FAX:+81 3-1234-5679",
    "item1.TEL:+44 20 7946 0000", "item1.X-ABLabel:London office",
    "TEL;TYPE=PAGER:03-9999-0000",
        "item2.EMAIL;TYPE=INTERNET,PREF:mary@example.com", "item2.X-ABLabel:_$!<Other>!$_",
    "EMAIL;TYPE=INTERNET,HOME:mimi@example.org",
    "NOTE:Met at the fair\\, 2019\\nLikes tea",
    "ORG:Tsunagi Trading;Sales", "TITLE:Manager", "BDAY:1985-06-15",
    "item3.ADR;TYPE=HOME,pref:;;1-2-3 Chiyoda;Tokyo;;100-0001;Japan", "item3.X-ABADR:jp",
    "item4.URL;TYPE=pref:https\\://mary.example.com", "item4.X-ABLabel:_$!<HomePage>!$_",
    "IMPP;X-SERVICE-TYPE=Skype;TYPE=pref:skype:mary.obrien",
    "CATEGORIES:Friends,Work",
    "PHOTO;ENCODING=b;TYPE=JPEG:" + PHOTO,
    "UID:3F2504E0-4F89-41D3-9A0C-0305E82C3301", "END:VCARD"]
with open("rich-iphone-out.vcf", "wb") as f:
    f.write(card(expected).encode("utf-8"))

FIXED = ["First Name", "Middle Name", "Last Name", "Phonetic First Name", "Phonetic Middle Name",
         "Phonetic Last Name", "Name Prefix", "Name Suffix", "Nickname", "File As",
         "Organization Name", "Organization Title", "Organization Department", "Birthday",
         "Notes", "Photo", "Labels"]
ADDRESS = ["Label", "Formatted", "Street", "City", "PO Box", "Region", "Postal Code", "Country",
           "Extended Address"]


def google_csv(groups, values, others=()):
    heading = FIXED[:]
    for kind, count, parts in groups:
        for i in range(1, count + 1):
            heading += ["%s %d - %s" % (kind, i, part) for part in parts]
    heading += list(others)
    text = io.StringIO(newline="")
    csv.writer(text, lineterminator=CRLF).writerows([heading, [values.get(h, "") for h in heading]])
    return text.getvalue().encode("utf-8")


# The same card in Google's CSV: a label of the card's own as it is, iOS's built-in ones in
# words, "* " before the preferred one; the address formatted from its parts when the card
# gives no LABEL; the messenger's service and address apart; what has no column of its own
# as a custom field under its property's name. The photo held in the card has no place.
iphone_google = {
    "First Name": "Mary Ann", "Last Name": "O'Brien", "Phonetic First Name": "めありー",
    "Phonetic Last Name": "おぶらいえん", "Nickname": "Mimi", "Organization Name": "Tsunagi Trading",
    "Organization Title": "Manager", "Organization Department": "Sales", "Birthday": "1985-06-15",
    "Notes": "Met at the fair, 2019\nLikes tea", "Labels": "* myContacts ::: Friends ::: Work",
    "E-mail 1 - Label": "* Other", "E-mail 1 - Value": "mary@example.com",
    "E-mail 2 - Label": "Home", "E-mail 2 - Value": "mimi@example.org",
    "Phone 1 - Label": "* Mobile", "Phone 1 - Value": "+1 (415) 555-0100",
    "Phone 2 - Label": "Work Fax", "Phone 2 - Value": "+81 3-1234-5679",
    "Phone 3 - Label": "London office", "Phone 3 - Value": "+44 20 7946 0000",
    "Phone 4 - Label": "Pager", "Phone 4 - Value": "03-9999-0000",
    "Address 1 - Label": "* Home", "Address 1 - Formatted": "1-2-3 Chiyoda\nTokyo\n100-0001\nJapan",
    "Address 1 - Street": "1-2-3 Chiyoda", "Address 1 - City": "Tokyo",
    "Address 1 - Postal Code": "100-0001", "Address 1 - Country": "Japan",
    "Website 1 - Label": "* Home Page", "Website 1 - Value": "https://mary.example.com",
    "IM 1 - Label": "* Other", "IM 1 - Service": "Skype", "IM 1 - Value": "mary.obrien",
    "Custom Field 1 - Label": "X-ABADR", "Custom Field 1 - Value": "jp",
}
with open("rich-iphone-google.csv", "wb") as f:
    f.write(google_csv([("E-mail", 2, ["Label", "Value"]), ("Phone", 4, ["Label", "Value"]),
                        ("Address", 1, ADDRESS), ("Website", 1, ["Label", "Value"]),
                        ("IM", 1, ["Label", "Service", "Value"]),
                        ("Custom Field", 1, ["Label", "Value"])],
                       iphone_google))

# A rich Google row, in the order Google's own export has; read and written again, every
# value comes back under its heading.
google = {
    "First Name": "Hanako", "Last Name": "Yamada", "Phonetic First Name": "はなこ",
    "Phonetic Last Name": "やまだ", "Nickname": "Hana", "Organization Name": "Tsunagi Ltd.",
    "Organization Title": "Engineer", "Organization Department": "R&D", "Birthday": "1990-04-01",
    "Notes": "Met at the fair\nlikes tea", "Photo": "https://lh3.example.com/photo.jpg",
    "Labels": "* myContacts ::: Friends",
    "E-mail 1 - Label": "Home", "E-mail 1 - Value": "hanako@example.jp",
    "E-mail 2 - Label": "Work", "E-mail 2 - Value": "h.yamada@tsunagi.example",
    "Phone 1 - Label": "Mobile", "Phone 1 - Value": "+81 90-1234-5678",
    "Phone 2 - Label": "Work Fax", "Phone 2 - Value": "+81 3-1234-5679",
    "Phone 3 - Label": "London office", "Phone 3 - Value": "+44 20 7946 0000",
    "Address 1 - Label": "Home", "Address 1 - Formatted": "1-2-3 Chiyoda\nTokyo 100-0001\nJapan",
    "Address 1 - Street": "1-2-3 Chiyoda", "Address 1 - City": "Tokyo",
    "Address 1 - Postal Code": "100-0001", "Address 1 - Country": "Japan",
    "Website 1 - Label": "Blog", "Website 1 - Value": "https://hanako.example.jp",
    "Relation 1 - Label": "Spouse", "Relation 1 - Value": "Taro",
}
with open("rich-google.csv", "wb") as f:
    f.write(google_csv([("E-mail", 2, ["Label", "Value"]), ("Phone", 3, ["Label", "Value"]),
                        ("Address", 1, ADDRESS), ("Website", 1, ["Label", "Value"]),
                        ("Relation", 1, ["Label", "Value"])],
                       google))
