// Writes a phone backup of N generated cards (CP932, CR LF) to standard output: names in kanji
// and half-width katakana, two or three numbers, and a mail address, as the phone writes them.
// With --foreign, the same people as a smartphone writes them: vCard 3.0 in UTF-8.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/codec.h"

int main(int argc, char** argv) {
    bool foreign = argc > 2 && std::string(argv[2]) == "--foreign";
    long count = argc > 1 ? std::atol(argv[1]) : 100000;
    const char* families[] = {"山田", "佐藤", "鈴木", "高橋", "田中", "ｲﾄｳ", "ﾜﾀﾅﾍﾞ", "中村"};
    const char* givens[] = {"太郎", "花子", "ｹﾝ", "一郎", "ﾐｻｷ", "次郎", "優子"};
    tsunagi::Cp932Encoder encoder;
    std::string utf8, bytes;
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (long i = 1; foreign && i <= count; ++i) {
        const char* family = families[next() % 8];
        const char* given = givens[next() % 7];
        utf8 = "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\nN:";
        utf8 += std::string(family) + ";" + given + ";;;\r\nFN:" + family + " " + given + "\r\n";
        utf8 += "TEL;type=HOME;type=VOICE:03-" + std::to_string(1000 + next() % 9000) + "-" +
                std::to_string(1000 + next() % 9000) + "\r\n";
        utf8 += "TEL;type=CELL;type=VOICE;type=pref:+81 90-" +
                std::to_string(1000 + next() % 9000) + "-" + std::to_string(1000 + next() % 9000) +
                "\r\n";
        utf8 += "item1.EMAIL;type=INTERNET;type=pref:user" + std::to_string(i) +
                "@example.jp\r\nitem1.X-ABLabel:_$!<Other>!$_\r\nEND:VCARD\r\n";
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    }
    for (long i = 1; !foreign && i <= count; ++i) {
        utf8 = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:";
        utf8 += families[next() % 8];
        utf8 += ";";
        utf8 += givens[next() % 7];
        utf8 += "\r\nX-JPG-OWNER:0\r\n";
        utf8 += "TEL;VOICE;HOME:03" + std::to_string(10000000 + next() % 90000000) + "\r\n";
        utf8 += "TEL;CELL:090" + std::to_string(10000000 + next() % 90000000) + "\r\n";
        if (i % 2)
            utf8 += "TEL;VOICE;WORK:045" + std::to_string(1000000 + next() % 9000000) + "\r\n";
        utf8 += "EMAIL;INTERNET:user" + std::to_string(i) + "@example.jp\r\n";
        utf8 += "X-GNO:" + std::to_string(i % 10) + "\r\nX-JPG-MDNO:" + std::to_string(i) +
                "\r\nEND:VCARD\r\n";
        bytes.clear();
        encoder.encode(utf8, bytes);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    }
    return 0;
}
