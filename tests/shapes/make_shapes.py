#!/usr/bin/env python3
"""Writes the address books of the shapes corpus into files/: vCards and CSVs in the shapes
today's phones and programs, and the old phones' backups, write them (their character sets,
line ends, folds and quirks), each written by hand here from what those programs are known to
write. The facts a person expects of each file stand beside it in NAME.facts.json, written by
hand, never from our own output.
Usage: make_shapes.py   (run again after changing a shape; the files are kept in the repository)
"""
import base64
import os
import quopri

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "files")


def write(name, text, encoding, newline="\r\n", bom=False):
    data = text.replace("\n", newline).encode(encoding)
    if bom:
        data = "\ufeff".encode(encoding) + data
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def qp(text, encoding="utf-8"):
    """Quoted-printable of every byte, as Android and old phones write a value."""
    return "".join("=%02X" % b for b in text.encode(encoding))


def csv_line(cells):
    out = []
    for cell in cells:
        if any(c in cell for c in ',"\n'):
            cell = '"' + cell.replace('"', '""') + '"'
        out.append(cell)
    return ",".join(out)


os.makedirs(HERE, exist_ok=True)

# A docomo feature phone's backup: five-part names (one whole in the family part), a
# full-width reading as cards received by infrared have, a number with a label of the user's
# own, two group lines, an anniversary, and the empty lines the phone writes for what was not
# filled in.
write("docomo-backup.vcf", """BEGIN:VCARD
VERSION:2.1
N;CHARSET=SHIFT_JIS:小山;和子;;;
SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ｺﾔﾏ;ｶｽﾞｺ;;;
TEL;CELL:09011112222
TEL;CUSTOM:0276370001
X-DCM-LABEL;CHARSET=SHIFT_JIS:実家
EMAIL;INTERNET:kazuko@example.jp
X-DCM-GN-ORIGINAL;CHARSET=SHIFT_JIS:友人
X-DCM-GN-ORIGINAL;CHARSET=SHIFT_JIS:お茶会
X-DCM-CONTACTS_EVENT;ANNIVERSARY:1965-11-03
ADR;HOME;CHARSET=SHIFT_JIS:;;;;;;
URL:
PHOTO:
END:VCARD
BEGIN:VCARD
VERSION:2.1
N;CHARSET=SHIFT_JIS:大塚 健二;;;;
SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:オオツカ ケンジ;;;;
TEL;HOME:0312345678
TEL;HOME:
TEL;CELL:08022223333
END:VCARD
""", "cp932")

# An older phone's backup with its photo's bytes in quoted-printable, soft-broken.
jpeg = bytes([0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10]) + b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00" + \
    bytes(range(0x80, 0xA0)) + bytes([0xFF, 0xD9])
photo = "".join("=%02X" % b if (b < 33 or b > 126 or b == 61) else chr(b) for b in jpeg)
photo_lines = [photo[i:i + 72] for i in range(0, len(photo), 72)]
# Never break inside an "=XX".
fixed, carry = [], ""
for line in photo_lines:
    line = carry + line
    cut = line.rfind("=", len(line) - 2)
    if cut != -1:
        carry, line = line[cut:], line[:cut]
    else:
        carry = ""
    fixed.append(line)
if carry:
    fixed.append(carry)
write("old-phone-qp-photo.vcf", """BEGIN:VCARD
VERSION:2.1
N;CHARSET=SHIFT_JIS:青木;茂
TEL;CELL:09044445555
PHOTO;TYPE=JPEG;ENCODING=QUOTED-PRINTABLE:""" + "=\n".join(fixed) + """
PHOTO;VALUE=URL;TYPE=JPEG:http://example.jp/shigeru.jpg
END:VCARD
""", "cp932")

# Android's export of its book: names in UTF-8 quoted-printable, its own rows for a nickname,
# relations and dates, a number of LINE and numbers of Android's own types, LF line ends.
write("android-rows.vcf", """BEGIN:VCARD
VERSION:2.1
N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:%s;%s;;;
FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:%s
TEL;CELL:090-5555-6666
TEL;X-LINE:090-5555-7777
TEL;X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,%s):0276-11-2222
TEL;PREF:03-1111-0000
TEL;WORK;CELL:080-1111-2222
TEL;MSG:090-3333-0000
X-ANDROID-CUSTOM;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:vnd.android.cursor.item/nickname;%s;1;;;;;;;;;;;;;
X-ANDROID-CUSTOM;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:vnd.android.cursor.item/relation;%s;14;;;;;;;;;;;;;
X-ANDROID-CUSTOM;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:vnd.android.cursor.item/relation;%s;0;%s;;;;;;;;;;;;
X-ANDROID-CUSTOM;CHARSET=UTF-8:vnd.android.cursor.item/contact_event;2009-05-02;1;;;;;;;;;;;;;
X-ANDROID-CUSTOM;CHARSET=UTF-8:vnd.android.cursor.item/contact_event;1988-08-08;3;;;;;;;;;;;;;
END:VCARD
""" % (qp("松田"), qp("恵"), qp("松田 恵"), qp("実家"), qp("めぐ"), qp("松田 大輔"),
       qp("佐藤 一"), qp("師匠")), "utf-8", newline="\n")

# Samsung's export: a messenger row under a name no vCard may hold, and a primary number.
write("samsung.vcf", """BEGIN:VCARD
VERSION:2.1
N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:%s;%s;;;
FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:%s
TEL;CELL;PREF:090-7777-8888
EMAIL;HOME:tsubasa@example.jp
X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,LINE):tsubasa_k
END:VCARD
""" % (qp("木村"), qp("翼"), qp("木村 翼")), "utf-8")

# Outlook's vCard: its own number and date properties.
write("outlook.vcf", """BEGIN:VCARD
VERSION:2.1
N;LANGUAGE=ja;CHARSET=shift_jis:杉本;健
FN;CHARSET=shift_jis:杉本 健
X-MS-N-YOMI;CHARSET=shift_jis:スギモト;ケン
TEL;CELL;VOICE:090-2222-0004
X-MS-TEL;VOICE;CALLBACK:0276-37-0004
X-MS-ANNIVERSARY:20090502
BDAY:19700101
EMAIL;PREF;INTERNET:ken@example.jp
END:VCARD
""", "cp932")

# A card without a name, only a mail (what a mail program makes of a sender), and an iPhone
# card whose IMPP is a Jabber address, with a custom label and a bare primary label.
write("ios-nameless-and-labels.vcf", """BEGIN:VCARD
VERSION:3.0
PRODID:-//Apple Inc.//iPhone OS 17.0//EN
EMAIL;type=INTERNET;type=HOME;type=pref:someone@example.jp
END:VCARD
BEGIN:VCARD
VERSION:3.0
PRODID:-//Apple Inc.//iPhone OS 17.0//EN
N:Baker;Sophia;;;
FN:Sophia Baker
item1.TEL;type=pref:+81 90-1212-3434
item1.X-ABLabel:代表
item2.URL;type=WORK:https://example.com/sophia
IMPP;X-SERVICE-TYPE=Jabber;type=HOME;type=pref:xmpp:sophia@example.com
item3.EMAIL;type=INTERNET:sophia@example.com
item3.X-ABLabel:Private
END:VCARD
""", "utf-8")

# Google Contacts' export: a phonetic middle name, a primary number under a label of the
# user's own, a car phone, a web page at work, a bare primary mark.
google_head = ["Name", "Given Name", "Additional Name", "Family Name", "Yomi Name",
               "Given Name Yomi", "Additional Name Yomi", "Family Name Yomi", "Nickname",
               "Birthday", "Notes", "Group Membership", "E-mail 1 - Type", "E-mail 1 - Value",
               "Phone 1 - Type", "Phone 1 - Value", "Phone 2 - Type", "Phone 2 - Value",
               "Website 1 - Type", "Website 1 - Value", "Organization 1 - Type",
               "Organization 1 - Name", "Organization 1 - Yomi Name", "Organization 1 - Title"]
write("google-old.csv", "\n".join(csv_line(r) for r in [
    google_head,
    ["高橋 一郎", "一郎", "", "高橋", "", "イチロウ", "", "タカハシ", "", "1980-04-01", "",
     "* myContacts", "* ", "ichiro@example.jp", "* 代表", "03-5555-0101", "Car",
     "090-5555-0102", "Work", "https://example.jp/ichiro", "", "株式会社つなぎ", "ツナギ",
     "課長"],
]) + "\n", "utf-8")

google_new = ["First Name", "Middle Name", "Last Name", "Phonetic First Name",
              "Phonetic Middle Name", "Phonetic Last Name", "Name Prefix", "Name Suffix",
              "Nickname", "File As", "Organization Name", "Organization Title",
              "Organization Department", "Birthday", "Notes", "Photo", "Labels",
              "E-mail 1 - Label", "E-mail 1 - Value", "Phone 1 - Label", "Phone 1 - Value",
              "Phone 2 - Label", "Phone 2 - Value", "Website 1 - Label", "Website 1 - Value"]
write("google-new.csv", "\n".join(csv_line(r) for r in [
    google_new,
    ["Mary", "Ann", "O'Brien", "メアリー", "アン", "オブライエン", "Dr.", "", "", "", "つなぎ商事",
     "部長", "", "", "", "", "* myContacts ::: 取引先", "Work", "mary@example.com",
     "* 代表", "03-5555-0201", "Car", "090-5555-0202", "Work", "https://example.com/mary"],
]) + "\n", "utf-8")

# Outlook's CSV in Japanese: its readings, its empty dates.
write("outlook-ja.csv", "\n".join(csv_line(r) for r in [
    ["姓", "名", "姓フリガナ", "名前フリガナ", "携帯電話", "電子メール アドレス", "誕生日",
     "記念日", "会社名"],
    ["三浦", "晴香", "ミウラ", "ハルカ", "090-8888-0001", "haruka@example.jp", "00/0/0", "0/0/00",
     ""],
    ["中嶋", "聡", "ナカジマ", "サトシ", "090-8888-0002", "", "1989/5/5", "00/0/0", "つなぎ"],
]) + "\n", "cp932")

# The Windows address book's CSV (and ours): a display name beside family and given name.
write("windows-address-book.csv", "\n".join([
    "名,姓,表示名,電子メール アドレス,自宅電話番号,携帯電話",
    "太郎,山田,山田 太郎,taro@example.jp,0311112222,09011112222",
    "花子,山田,,hanako@example.jp,,09011113333",
]) + "\n", "cp932")

# vCard 4.0: a name in two languages, a group card of its members.
write("vcard40-altid-group.vcf", """BEGIN:VCARD
VERSION:4.0
UID:urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1
N;ALTID=1;LANGUAGE=ja:遠藤;美穂;;;
N;ALTID=1;LANGUAGE=en:Endo;Miho;;;
FN;ALTID=1;LANGUAGE=ja:遠藤 美穂
FN;ALTID=1;LANGUAGE=en:Miho Endo
TEL;VALUE=uri;TYPE=cell:tel:+81-90-6666-7777
END:VCARD
BEGIN:VCARD
VERSION:4.0
KIND:group
FN:家族
MEMBER:urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1
END:VCARD
""", "utf-8")

# A card holding its agent's card on the AGENT line itself, a name with a glyph's variation
# selector (葛 U+E0100, as iOS keeps a name typed with it), an iPhone's company card, and a
# Japanese name whose given part holds a digit and a word in parentheses.
write("agents-selectors-companies.vcf", """BEGIN:VCARD
VERSION:2.1
N:Secretary;Sue
AGENT:BEGIN:VCARD
VERSION:2.1
N:Boss
TEL:0311110000
END:VCARD
TEL;WORK:0322220000
END:VCARD
BEGIN:VCARD
VERSION:3.0
N:葛\U000E0100西;太郎;;;
FN:葛\U000E0100西 太郎
TEL;type=CELL:090-1234-0000
END:VCARD
BEGIN:VCARD
VERSION:3.0
PRODID:-//Apple Inc.//iPhone OS 17.0//EN
N:;;;;
FN:株式会社ミナト精機
ORG:株式会社ミナト精機;
X-PHONETIC-ORG:ミナトセイキ
TEL;type=WORK;type=VOICE;type=pref:03-3333-4444
X-ABShowAs:COMPANY
END:VCARD
BEGIN:VCARD
VERSION:3.0
N:林;修95;;;
TEL;type=CELL:090-9595-0000
END:VCARD
""", "utf-8")
