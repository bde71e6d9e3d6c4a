#pragma once

// A person as the main window shows it beside the list: every line the entry holds, each in
// words ("携帯", "会社", "誕生日"), the phone's fields and what is kept beyond them alike.

#include <cstdint>
#include <string>
#include <vector>

#include "card/person.h"

namespace tsunagi {

struct DetailLine {
    std::string label;  // 名前, 読み, 電話 (携帯), メール (PC), 会社, 役職, 誕生日, 住所 (自宅) …
    std::string value;
};

std::vector<DetailLine> detailLines(const Person& person);

// What a wide list shows of each entry, beside its line: the whole name, its reading, the first
// number and mail, the company; and a key to sort by reading.
struct ListColumns {
    std::int64_t id = 0;
    std::string name, reading, number, mail, company;
    std::string readingKey;  // the reading (else the name) as kana of one kind and width
};
std::vector<ListColumns> readListColumns(const Store& store);

}  // namespace tsunagi
