#!/usr/bin/env python3
"""Writes the expected export files for the four entries of writers_test.cpp.

The texts below are spelled out by hand from the file layouts (headings, record pieces, card
lines, page head and cards); only the CP932 encoding and the CR LF line ends are done here.
Run it from this folder after a deliberate change of a layout, and read the diff.
"""

CRLF = "\r\n"

# ---- CSV: heading, then one record per entry.
heading = ("名, 姓, ミドル ネーム, 表示名, ニックネーム, 電子メール アドレス, 自宅の番地, 自宅の市区町村, "
           "自宅の郵便番号, 自宅の都道府県, 国または地域, 自宅電話番号 :, 自宅ファックス, 携帯電話 , "
           "勤務先の番地, 勤務先の市区町村, 勤務先の郵便番号, 勤務先の都道府県, 勤務先の国または地域, "
           "勤務先電話番号, 会社名, 役職, メモ")
csv = [
    heading,
    # name, 3 blanks, display name, blank, mail, 5 blanks, home, fax (work), mobile + blank, 8 blanks, memo
    "山田太郎, , , 山田太郎, , taro@docomo.ne.jp, , , , , , 03-1234-5678, 0455556666, 09012345678 , , , , , , , , ,",
    # a field in quotes has no blank before its opening quote
    '"Smith, ""J""", , ,"Smith, ""J""", , odd@x.jp, , , , , , , ,  , , , , , , , , ,',
    "<b>&Co</b>, , , <b>&Co</b>, , x@y.jp, , , , , , 03-ABC, , 12345678901234567890123 , , , , , , , , ,",
    ", , , , , , , , , , , , ,  , , , , , , , , ,",
]
with open("entries.csv", "wb") as f:
    f.write(("".join(line + CRLF for line in csv)).encode("cp932"))

# ---- VCF: every stored line, numbers filtered and hyphen-free, memory numbers 1, 2, 3, 4.
vcf = [
    "BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎;;;", "X-JPG-OWNER:0",
    "TEL;VOICE;HOME:0312345678", "TEL;CELL:09012345678", "TEL;VOICE:0311112222",
    "TEL;VOICE;WORK:0455556666", "EMAIL;INTERNET:taro@example.jp", "EMAIL;CELL:taro@docomo.ne.jp",
    "X-GNO:1", "X-CLASS:PRIVATE", "X-JPG-MDNO:1", "END:VCARD",
    "BEGIN:VCARD", "VERSION:2.1", 'N;CHARSET=SHIFT_JIS:Smith, "J"', "X-JPG-OWNER:0",
    "TEL;VOICE:0312", "EMAIL;X400:odd@x.jp", "X-GNO:0", "X-JPG-MDNO:2", "END:VCARD",
    "BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:<b>&Co</b>", "TEL;CELL:12345678901234567890123",
    "EMAIL;CELL:x@y.jp", "END:VCARD",
    "BEGIN:VCARD", "NOTE:first\r\nsecond", "X-JPG-MDNO:4", "END:VCARD",
]
with open("entries.vcf", "wb") as f:
    f.write(("".join(line + CRLF for line in vcf)).encode("cp932"))

# ---- HTML: page head, four cards (a row of three, a row of one), closing text.
head = [
    '<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">',
    "<title>ダイヤル補完リスト</title>",
    '<style type="text/css"><!--',
    ".text4 {font-size:14px; color:#000000}",
    "--></style>",
    '</head><body><div align="center"><b>メモリダイヤルデータ一覧</b><table border="0" cellspacing="2" cellpadding="5">',
]
labels = [
    '<tr><td bgcolor="#AFEEEE"width="60">名 前</td><td bgcolor="#ffffff"width="150">',
    '<tr><td bgcolor="#AFEEEE">ダイヤル１</td><td bgcolor="#ffffff">',
    '<tr><td bgcolor="#AFEEEE">ダイヤル２</td><td bgcolor="#ffffff">',
    '<tr><td bgcolor="#AFEEEE">ダイヤル３</td><td bgcolor="#ffffff">',
    '<tr><td bgcolor="#AFEEEE">メール１</td><td bgcolor="#ffffff">',
    '<tr><td bgcolor="#AFEEEE">メール２</td><td bgcolor="#ffffff">',
    '<tr><td bgcolor="#AFEEEE">メール３</td><td bgcolor="#ffffff">',
]
N = "&nbsp;"
cards = [
    ["山田;太郎;;;", "自宅：03-1234-5678", "携帯：09012345678", "電話：0311112222",
     "PC：taro@example.jp", "携帯：taro@docomo.ne.jp", N],
    ["Smith, &quot;J&quot;", N, "電話：0312", N, N, N, N],
    ["&lt;b&gt;&amp;Co&lt;/b&gt;", "携帯：123456789012345678901234", "携帯：12345678901234567890123",
     "自宅：03-ABC", "携帯：x@y.jp", N, N],
    [N, N, N, N, N, N, N],
]
html = "".join(line + CRLF for line in head)
in_row = 0
for number, values in enumerate(cards, start=1):
    in_row += 1
    if in_row == 1:
        html += '<tr><td height="30" colspan="3"><hr></td></tr><tr>'
    html += ('<td><table border="0" cellspacing="0" cellpadding="0"><caption align="left">データ&nbsp;'
             + str(number) + '</caption><tr><td bgcolor="#000000"><table class="text4" border="0" '
             'cellspacing="1" cellpadding="5">' + CRLF)
    for label, value in zip(labels[:6], values[:6]):
        html += label + value + "&nbsp;</td></tr>" + CRLF
    html += labels[6] + values[6] + "&nbsp;</td></tr></table>" + CRLF + "</td></tr></table></td>" + CRLF
    if in_row == 3:
        html += "</tr>"
        in_row = 0
html += "<td>&nbsp;</td><td>&nbsp;</td></tr>"
html += "</table></td></tr></table></div></body></html>"
with open("entries.html", "wb") as f:
    f.write(html.encode("cp932"))
