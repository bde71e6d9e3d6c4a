#pragma once

// What an entry holds beyond the phone's fields, as the user edits it: companies, titles, the
// birthday, addresses, web pages, notes and groups. The numbers, mails and name stay the
// input form's.

#include <cstdint>
#include <string>
#include <vector>

#include "store/store.h"

namespace tsunagi {

enum class DetailKind { Company, Title, Birthday, Address, Website, Note, Group, Photo };

// A photo's row as the user sees it while it is the card's own; a file's path in its place
// puts that picture in.
inline constexpr const char* kCardPhoto = "（カードの写真）";

struct Detail {
    DetailKind kind;
    std::string value;  // as the user reads and types it: one address, one note, one group
};

// Throws TsunagiError saying why a detail cannot be stored (a date that is no day, a photo
// file that is no picture); nothing when it can.
void checkDetail(const Detail& detail);

// The words a detail's kind is shown by: 会社, 役職, 誕生日, 住所, Web, メモ, グループ, 写真.
const char* detailWord(DetailKind kind);

// The details an entry holds now; none when there is no such entry.
std::vector<Detail> readDetails(const Store& store, std::int64_t id);

// Stores the details the user gave, in one transaction. Only the kinds that changed are
// rewritten: a kind left as it was keeps its lines as they stand (the phone's own among them),
// and a changed kind's lines, the phone's own included, give way to the new values, kept with
// the entry for vCard 3.0 and Google's CSV. A photo given as a file's path (JPEG, PNG or GIF,
// 1 MiB at most) is read into the card. False when there is no such entry; throws TsunagiError
// naming a picture that cannot be read.
bool writeDetails(const Store& store, std::int64_t id, const std::vector<Detail>& details);

}  // namespace tsunagi
