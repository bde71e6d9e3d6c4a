#include <array>

#include "export/writers.h"
#include "import/dialect.h"
#include "platform/text.h"
#include "store/entries.h"

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

CardValues readCard(const EntryRow& row) {
    CardValues card;
    card.fill(kEmpty);
    for (int p = 0; p <= 50; ++p) {
        const std::string& value = row.at(p);
        if (value.empty()) continue;
        if (contains(value, kNumberItem)) {
            forFirstThreePieces(value, [&](size_t j, const PieceParts& parts) {
                card[1 + j] = std::string(numberClassWord(classifyNumberHead(parts.head))) + "：" +
                              htmlText(parts.value);
            });
        } else if (contains(value, kMailItem)) {
            forFirstThreePieces(value, [&](size_t j, const PieceParts& parts) {
                switch (classifyMailHead(parts.head)) {
                    case MailClass::Internet:
                        card[4 + j] = "PC：" + htmlText(parts.value);
                        break;
                    case MailClass::Cell:
                        card[4 + j] = "携帯：" + htmlText(parts.value);
                        break;
                    case MailClass::Neither:
                        break;
                }
            });
        } else if (auto name = nameOfLine(value)) {
            card[0] = htmlText(*name);
        }
    }
    return card;
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

void WriteHtmlList(const Store& store, TextSink& out) {
    Connection connection = store.open();
    int cardNumber = 1;
    int cardsInRow = 0;
    std::string text;
    forEachEntry(connection, [&](const EntryRow& row) {
        out.beginEntry(cardNumber);
        if (cardNumber == 1) out.write(kPageHead);
        CardValues card = readCard(row);
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
        ++cardNumber;
    });
    std::string closing;
    if (cardsInRow == 1) closing = "<td>&nbsp;</td><td>&nbsp;</td></tr>";
    if (cardsInRow == 2) closing = "<td>&nbsp;</td></tr>";
    out.beginEntry(0);
    out.write(closing + kPageEnd);
}

}  // namespace tsunagi
