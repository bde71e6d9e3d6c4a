#include "export/list_page_writer.h"

#include <array>

#include "card/card_view.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

const char* const kPageHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
    "<title>ダイヤル補完リスト</title>\r\n"
    "<style type=\"text/css\"><!--\r\n"
    ".text4 {font-size:14px; color:#000000}\r\n"
    "--></style>\r\n"
    "</head><body><div align=\"center\"><b>メモリダイヤルデータ一覧</b><table border=\"0\" "
    "cellspacing=\"2\" cellpadding=\"5\">\r\n";

const char* const kRowStart = "<tr><td height=\"30\" colspan=\"3\"><hr></td></tr><tr>";
const char* const kPageEnd = "</table></td></tr></table></div></body></html>";
const char* const kEmpty = "&nbsp;";

const std::array<const char*, 7> kLabels = {
    "<tr><td bgcolor=\"#AFEEEE\"width=\"60\">名 前</td><td bgcolor=\"#ffffff\"width=\"150\">",
    "<tr><td bgcolor=\"#AFEEEE\">ダイヤル１</td><td bgcolor=\"#ffffff\">",
    "<tr><td bgcolor=\"#AFEEEE\">ダイヤル２</td><td bgcolor=\"#ffffff\">",
    "<tr><td bgcolor=\"#AFEEEE\">ダイヤル３</td><td bgcolor=\"#ffffff\">",
    "<tr><td bgcolor=\"#AFEEEE\">メール１</td><td bgcolor=\"#ffffff\">",
    "<tr><td bgcolor=\"#AFEEEE\">メール２</td><td bgcolor=\"#ffffff\">",
    "<tr><td bgcolor=\"#AFEEEE\">メール３</td><td bgcolor=\"#ffffff\">",
};

// Name, numbers 1 to 3, mails 1 to 3, as HTML ready to write.
using CardValues = std::array<std::string, 7>;

CardValues cardValues(const EntryRow& row) {
    CardView card = readCard(row, kListedColumns);
    CardValues values;
    values.fill(kEmpty);
    if (card.name) values[0] = htmlText(*card.name);
    for (const NumberPiece& number : card.numbers)
        if (number.slot < 3)
            values[1 + number.slot] =
                std::string(numberClassWord(number.type)) + "：" + htmlText(number.value);
    for (const MailPiece& mail : card.mails) {
        if (mail.slot >= 3) continue;
        if (mail.type == MailClass::Internet) values[4 + mail.slot] = "PC：" + htmlText(mail.value);
        if (mail.type == MailClass::Cell) values[4 + mail.slot] = "携帯：" + htmlText(mail.value);
    }
    return values;
}

}  // namespace

std::string htmlText(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void WriteHtmlList(const EntryRows& rows, TextSink& out) {
    int cardsInRow = 0;
    std::string text;
    rows.forEach([&](const EntryRow& row, int cardNumber) {
        out.beginEntry(cardNumber);
        if (cardNumber == 1) out.write(kPageHead);
        CardValues card = cardValues(row);
        text.clear();
        if (++cardsInRow == 1) text += kRowStart;
        text +=
            "<td><table border=\"0\" cellspacing=\"0\" cellpadding=\"0\"><caption "
            "align=\"left\">データ&nbsp;" +
            std::to_string(cardNumber) +
            "</caption><tr><td bgcolor=\"#000000\"><table class=\"text4\" border=\"0\" "
            "cellspacing=\"1\" cellpadding=\"5\">\r\n";
        for (size_t i = 0; i < 6; ++i) text += kLabels[i] + card[i] + "&nbsp;</td></tr>\r\n";
        text += kLabels[6] + card[6] + "&nbsp;</td></tr></table>\r\n</td></tr></table></td>\r\n";
        if (cardsInRow == 3) {
            text += "</tr>";
            cardsInRow = 0;
        }
        out.write(text);
    });
    std::string closing;
    if (cardsInRow == 1) closing = "<td>&nbsp;</td><td>&nbsp;</td></tr>";
    if (cardsInRow == 2) closing = "<td>&nbsp;</td></tr>";
    out.beginEntry(0);
    out.write(closing + kPageEnd);
}

}  // namespace tsunagi
