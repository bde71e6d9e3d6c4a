#include "sync/sync_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <unordered_map>

#include "card/person.h"
#include "export/vcard3_writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "store/entries.h"
#include "store/identity.h"
#include "sync/card_facts.h"

namespace tsunagi {
namespace {

constexpr std::string_view kStateHeading = "tsunagi-carddav-state 1";

std::string escaped(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescaped(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            char next = value[++i];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string recordText(const SyncRecord& record) {
    std::string text = "record\n";
    auto field = [&text](std::string_view name, std::string_view value) {
        text.append(name).append(" ").append(escaped(value)).append("\n");
    };
    field("href", record.href);
    field("etag", record.etag);
    field("server-uid", record.serverUid);
    field("local-uid", record.localUid);
    for (const std::string& fact : record.localFacts) field("local", fact);
    for (const std::string& fact : record.serverFacts) field("server", fact);
    return text + "end\n";
}

// The records of a state or journal text; a record cut off at its end (a run broken off in the
// middle of writing it) is left out.
std::vector<SyncRecord> readRecords(const std::string& text, std::string* book,
                                    std::string* token = nullptr) {
    std::vector<SyncRecord> records;
    std::optional<SyncRecord> current;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) break;  // no line end: cut off
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        size_t space = line.find(' ');
        std::string_view name = line.substr(0, space);
        std::string value =
            space == std::string_view::npos ? "" : unescaped(line.substr(space + 1));
        if (name == "book" && book) {
            *book = value;
        } else if (name == "token" && token) {
            *token = value;
        } else if (name == "record") {
            current = SyncRecord();
        } else if (name == "end" && current) {
            records.push_back(std::move(*current));
            current.reset();
        } else if (current) {
            if (name == "href")
                current->href = value;
            else if (name == "etag")
                current->etag = value;
            else if (name == "server-uid")
                current->serverUid = value;
            else if (name == "local-uid")
                current->localUid = value;
            else if (name == "local")
                current->localFacts.push_back(value);
            else if (name == "server")
                current->serverFacts.push_back(value);
        }
    }
    return records;
}

void makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            throw TsunagiError(
                part, 0, "フォルダーを作れません（" + std::string(std::strerror(errno)) + "）。");
        if (slash == std::string::npos) break;
    }
}

std::uint64_t fnv(std::string_view text, std::uint64_t hash = 0xcbf29ce484222325ULL) {
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string nameOfCard(std::string_view card) {
    for (const VcardLine& line : cardLines(card))
        if (line.name == "FN") {
            std::string scratch;
            return std::string(unescapeText(line.value, scratch));
        }
    return "";
}

// The server's path for a new card: the person's UUID where the UID is one, else a fresh one.
std::string freshName(const std::string& uid) {
    std::string uuid = uuidOf(uid);
    if (uuid.empty()) uuid = uuidOf(randomUid());
    return uuid + ".vcf";
}

// Marks a record no person here is tied to any more: the server's card kept beside ours.
constexpr std::string_view kKeptApart = "(kept apart)";

// The card with its UID line (unfolded) replaced by `uid`.
std::string replacedUid(std::string_view card, const std::string& uid) {
    std::string out;
    for (const std::string& raw : [&] {
             std::vector<std::string> lines;
             cardLines(card, &lines);
             return lines;
         }()) {
        if (raw.starts_with("UID:") || raw.starts_with("uid:")) continue;
        out += foldedLine(raw);
    }
    return "BEGIN:VCARD\r\n" + out + foldedLine("UID:" + uid) + "END:VCARD\r\n";
}

}  // namespace

SyncState::SyncState(std::string folder, std::string bookUrl)
    : folder_(std::move(folder)), book_(std::move(bookUrl)) {
    path_ = folder_ + "/state";
    journalPath_ = folder_ + "/journal";
    std::string book;
    if (fileExists(path_)) {
        std::string text = readFileBytes(path_);
        if (!text.starts_with(kStateHeading))
            throw TsunagiError(path_, 1, "同期の記録ではありません。");
        records = readRecords(text, &book, &token);
    }
    if (fileExists(journalPath_)) {
        // The writes since the state was last saved: each the newest word on its card.
        for (SyncRecord& record : readRecords(readFileBytes(journalPath_), nullptr)) {
            auto same = std::find_if(records.begin(), records.end(),
                                     [&](const SyncRecord& r) { return r.href == record.href; });
            if (same != records.end())
                *same = std::move(record);
            else
                records.push_back(std::move(record));
        }
    }
}

void SyncState::journal(const SyncRecord& record) {
    makeFolders(folder_);
    std::string text = recordText(record);
    int fd = ::open(journalPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) throw TsunagiError(journalPath_, 0, std::strerror(errno));
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    written = ::fdatasync(fd) == 0 && written;
    ::close(fd);
    if (!written) throw TsunagiError(journalPath_, 0, "同期の記録を書けません。");
}

void SyncState::save() {
    makeFolders(folder_);
    std::string text(kStateHeading);
    text += "\nbook " + escaped(book_) + "\n";
    if (!token.empty()) text += "token " + escaped(token) + "\n";
    for (const SyncRecord& record : records) text += recordText(record);
    AtomicFile file(path_);
    file.writeBytes(text);
    file.commit();
    std::remove(journalPath_.c_str());
}

std::string stateFolderFor(const std::string& stateFolder, const std::string& bookUrl,
                           const std::string& user) {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx",
                  static_cast<unsigned long long>(fnv(user, fnv(bookUrl))));
    return stateFolder + "/" + name;
}

std::vector<LocalPerson> localPeople(const Store& store) {
    std::vector<LocalPerson> people;
    Connection connection = store.open();
    EntryRows rows = storedRows(connection);
    rows.forEach([&](const EntryRow& row, int) {
        StringSink sink;
        writeVcard3(EntryRows{1, [&row](const EntryVisit& visit) { visit(row, 1); }, rows.uidSeed},
                    sink);
        LocalPerson person;
        person.card = std::move(sink.text);
        person.name = nameOfCard(person.card);
        person.uid = summaryOf(person.card).uid;
        person.mergedUids = readPerson(row).mergedUids;
        people.push_back(std::move(person));
    });
    return people;
}

size_t SyncPlan::count(SyncStep::Kind kind) const {
    return static_cast<size_t>(std::count_if(steps.begin(), steps.end(),
                                             [kind](const SyncStep& s) { return s.kind == kind; }));
}

std::string SyncPlan::summary() const {
    std::string text = "新規 " + std::to_string(count(SyncStep::Kind::Create)) + " 件、変更 " +
                       std::to_string(count(SyncStep::Kind::Update)) + " 件、競合 " +
                       std::to_string(count(SyncStep::Kind::Conflict)) + " 件";
    if (size_t removed = count(SyncStep::Kind::DeletedHere))
        text += "、ここで削除 " + std::to_string(removed) + " 件";
    return text;
}

SyncPlan planSync(const std::vector<LocalPerson>& people, SyncState& state,
                  CardDavTransport& transport) {
    SyncPlan plan;
    std::vector<SyncRecord>& records = state.records;
    // The book's cards and their ETags: what changed since the last run, where the server says
    // so, over what we knew; else every card's.
    std::map<std::string, std::string> listed;
    std::optional<CardDavTransport::Changes> changes = transport.changesSince(state.token);
    if (changes) {
        if (!changes->complete)
            for (const SyncRecord& record : records)
                if (!record.href.empty()) listed[record.href] = record.etag;
        for (const std::string& href : changes->removed) listed.erase(href);
        for (const auto& [href, etag] : changes->changed) listed[href] = etag;
        plan.token = changes->token;
    } else {
        listed = transport.listCards();
    }

    for (const SyncRecord& record : records)
        if (!listed.count(record.href)) plan.gone.insert(record.href);
    // The cards to read: those that changed since, and those we have no record of.
    std::set<std::string> known;
    std::vector<std::string> wanted;
    for (const SyncRecord& record : records) {
        known.insert(record.href);
        auto at = listed.find(record.href);
        if (at != listed.end() && at->second != record.etag) wanted.push_back(record.href);
    }
    for (const auto& [href, etag] : listed)
        if (!known.count(href)) wanted.push_back(href);
    std::map<std::string, ServerCard> read;
    for (ServerCard& card : transport.fetchCards(wanted)) read[card.href] = std::move(card);

    // New records for the server's cards we have not met: not yet tied to anyone here.
    size_t firstNew = records.size();
    for (const auto& [href, card] : read)
        if (!known.count(href)) {
            std::vector<std::string> facts = cardFacts(card.card);
            records.push_back({href, card.etag, summaryOf(card.card).uid, "", {}, facts});
        }

    // Each person is tied to one record: by UID, by the facts last sent, then by the rule.
    std::vector<std::optional<size_t>> tie(people.size());
    std::vector<bool> claimed(records.size(), false);
    std::vector<std::vector<std::string>> facts(people.size());
    for (size_t p = 0; p < people.size(); ++p) facts[p] = cardFacts(people[p].card);
    auto claim = [&](size_t p, size_t r) {
        tie[p] = r;
        claimed[r] = true;
    };
    std::unordered_map<std::string, size_t> byUid;
    for (size_t r = 0; r < records.size(); ++r) {
        if (!records[r].localUid.empty())
            byUid.emplace(records[r].localUid, r);
        else if (r >= firstNew && !records[r].serverUid.empty())
            byUid.emplace(records[r].serverUid, r);
    }
    for (size_t p = 0; p < people.size(); ++p) {
        std::vector<std::string> uids{people[p].uid};
        uids.insert(uids.end(), people[p].mergedUids.begin(), people[p].mergedUids.end());
        for (const std::string& uid : uids) {
            auto at = byUid.find(uid);
            if (at != byUid.end() && !claimed[at->second]) {
                claim(p, at->second);
                break;
            }
        }
    }
    std::map<std::vector<std::string>, std::vector<size_t>> byFacts;
    for (size_t r = 0; r < firstNew; ++r)
        if (!claimed[r] && !records[r].localFacts.empty())
            byFacts[records[r].localFacts].push_back(r);
    for (size_t p = 0; p < people.size(); ++p) {
        if (tie[p]) continue;
        auto at = byFacts.find(facts[p]);
        if (at == byFacts.end()) continue;
        for (size_t r : at->second)
            if (!claimed[r]) {
                claim(p, r);
                break;
            }
    }
    // The rule ties only where it finds exactly one on each side.
    std::vector<CardSummary> summaries(records.size());
    for (size_t r = 0; r < records.size(); ++r)
        if (!claimed[r])
            summaries[r] = summaryOfFacts(!records[r].localFacts.empty() ? records[r].localFacts
                                                                         : records[r].serverFacts);
    std::vector<std::vector<size_t>> candidates(people.size());
    std::vector<int> wantedBy(records.size(), 0);
    for (size_t p = 0; p < people.size(); ++p) {
        if (tie[p]) continue;
        CardSummary mine = summaryOfFacts(facts[p]);
        for (size_t r = 0; r < records.size(); ++r)
            if (!claimed[r] && samePerson(mine, summaries[r])) {
                candidates[p].push_back(r);
                ++wantedBy[r];
            }
    }
    for (size_t p = 0; p < people.size(); ++p)
        if (!tie[p] && candidates[p].size() == 1 && wantedBy[candidates[p].front()] == 1)
            claim(p, candidates[p].front());

    // The cards of entries merged into a person since: each the person's too.
    std::vector<std::pair<size_t, size_t>> absorbed;  // person, record
    for (size_t p = 0; p < people.size(); ++p)
        for (const std::string& uid : people[p].mergedUids)
            for (size_t r = 0; r < records.size(); ++r)
                if (!claimed[r] && records[r].localUid == uid && listed.count(records[r].href)) {
                    claimed[r] = true;
                    absorbed.emplace_back(p, r);
                }

    // The cards we must read to update them and have not yet.
    std::vector<std::string> more;
    for (auto [p, r] : absorbed)
        if (!read.count(records[r].href)) more.push_back(records[r].href);
    for (size_t p = 0; p < people.size(); ++p)
        if (tie[p]) {
            const SyncRecord& record = records[*tie[p]];
            if (facts[p] != record.localFacts && listed.count(record.href) &&
                !read.count(record.href))
                more.push_back(record.href);
        }
    for (ServerCard& card : transport.fetchCards(more)) read[card.href] = std::move(card);

    for (size_t p = 0; p < people.size(); ++p) {
        SyncStep step;
        step.name = people[p].name;
        step.local = p;
        if (!tie[p]) {
            step.kind = SyncStep::Kind::Create;
            step.body = people[p].card;
            plan.steps.push_back(std::move(step));
            continue;
        }
        size_t r = *tie[p];
        SyncRecord& record = records[r];
        step.record = r;
        bool gone = !listed.count(record.href);
        bool firstMeeting = record.localUid.empty() && record.localFacts.empty();
        bool changedHere = firstMeeting || facts[p] != record.localFacts;
        auto found = read.find(record.href);
        bool changedThere = false;
        if (found != read.end()) {
            step.server = found->second;
            changedThere = !firstMeeting && cardFacts(found->second.card) != record.serverFacts;
        }
        if (gone) {
            // Deleted on the server by another: never made again unasked.
            step.kind = changedHere ? SyncStep::Kind::Conflict : SyncStep::Kind::Unchanged;
            step.reason = "サーバーで削除されています";
        } else if (changedHere && changedThere) {
            step.kind = SyncStep::Kind::Conflict;
            step.reason = "ここでもサーバーでも変更されています";
        } else if (changedHere) {
            step.body = mergedCard(step.server.card, people[p].card,
                                   firstMeeting ? std::vector<std::string>() : record.localFacts);
            // Nothing to send where the server already says all of it.
            step.kind = cardFacts(step.body) == cardFacts(step.server.card)
                            ? SyncStep::Kind::Unchanged
                            : SyncStep::Kind::Update;
            if (step.kind == SyncStep::Kind::Unchanged) {
                record.localUid = people[p].uid;
                record.localFacts = facts[p];
                record.etag = step.server.etag;
                record.serverFacts = cardFacts(step.server.card);
            }
        } else if (changedThere) {
            step.kind = SyncStep::Kind::ServerChanged;
            record.etag = step.server.etag;
            record.serverFacts = cardFacts(step.server.card);
        }
        if (record.localUid.empty() && step.kind == SyncStep::Kind::Unchanged)
            record.localUid = people[p].uid;
        plan.steps.push_back(std::move(step));
    }
    for (auto [p, r] : absorbed) {
        auto found = read.find(records[r].href);
        if (found == read.end()) continue;
        SyncStep step;
        step.kind = SyncStep::Kind::Absorbed;
        step.name = people[p].name;
        step.local = p;
        step.record = r;
        step.server = found->second;
        step.body = mergedCard(step.server.card, people[p].card, records[r].localFacts);
        if (cardFacts(step.body) != cardFacts(step.server.card) ||
            facts[p] != records[r].localFacts)
            plan.steps.push_back(std::move(step));
    }
    // The cards of people synced before whom nobody here is any more: deleted here. One the
    // server changed since is left alone, as another's word on that person.
    for (size_t r = 0; r < firstNew; ++r) {
        const SyncRecord& record = records[r];
        bool ours = (!record.localUid.empty() || !record.localFacts.empty()) &&
                    record.localUid != kKeptApart;
        auto listing = listed.find(record.href);
        if (claimed[r] || !ours || listing == listed.end() || listing->second != record.etag)
            continue;
        SyncStep step;
        step.kind = SyncStep::Kind::DeletedHere;
        step.record = r;
        step.server.href = record.href;
        step.server.etag = record.etag;
        for (const std::string& fact : record.localFacts)
            if (fact.starts_with("FN:")) step.name = fact.substr(3);
        if (step.name.empty()) step.name = record.href;
        plan.steps.push_back(std::move(step));
    }
    return plan;
}

void resolveConflict(SyncPlan& plan, size_t index, Resolution resolution,
                     const std::vector<LocalPerson>& people, SyncState& state) {
    SyncStep& step = plan.steps.at(index);
    if (step.kind != SyncStep::Kind::Conflict || !step.local || !step.record) return;
    const LocalPerson& person = people[*step.local];
    SyncRecord& record = state.records[*step.record];
    bool gone = step.server.href.empty();
    switch (resolution) {
        case Resolution::KeepOurs:
            if (gone) {
                step.kind = SyncStep::Kind::Create;
                step.body = person.card;
                step.record.reset();
                record.localUid = kKeptApart;
                record.localFacts = {std::string(kKeptApart)};
            } else {
                // Ours stands: what the server alone says of what we model goes.
                step.kind = SyncStep::Kind::Update;
                step.body = mergedCard(step.server.card, person.card, cardFacts(step.server.card));
            }
            break;
        case Resolution::KeepTheirs:
            // The server's stands, and this person as it is now is no change to send.
            step.kind = SyncStep::Kind::Unchanged;
            record.localUid = person.uid;
            record.localFacts = cardFacts(person.card);
            if (!gone) {
                record.etag = step.server.etag;
                record.serverFacts = cardFacts(step.server.card);
            }
            break;
        case Resolution::KeepBoth:
            // The server's card stays, tied to no one here; ours goes beside it anew.
            step.kind = SyncStep::Kind::Create;
            step.body = replacedUid(person.card, randomUid());
            step.record.reset();
            record.localUid = kKeptApart;
            record.localFacts = {std::string(kKeptApart)};
            break;
    }
}

SyncResult runSync(const SyncPlan& plan, const std::vector<LocalPerson>& people, SyncState& state,
                   CardDavTransport& transport,
                   const std::function<void(size_t, size_t)>& progress) {
    SyncResult result;
    size_t total = plan.count(SyncStep::Kind::Create) + plan.count(SyncStep::Kind::Update) +
                   plan.count(SyncStep::Kind::Absorbed) +
                   (plan.deleteRemoved ? plan.count(SyncStep::Kind::DeletedHere) : 0);
    std::set<std::string> forget = plan.gone;
    size_t done = 0;
    for (const SyncStep& step : plan.steps) {
        if (step.kind == SyncStep::Kind::Unchanged && step.record &&
            plan.gone.count(state.records[*step.record].href))
            result.deletedThere.push_back(step.name);
        if (step.kind == SyncStep::Kind::Conflict) {
            result.conflicts.push_back(step.name + "（" + step.reason + "）");
            continue;
        }
        if (step.kind == SyncStep::Kind::DeletedHere) {
            if (!plan.deleteRemoved) {
                result.keptThere.push_back(step.name);
                continue;
            }
            CardDavTransport::PutAnswer answer =
                transport.deleteCard(step.server.href, step.server.etag);
            ++result.writes;
            if (progress) progress(++done, total);
            if (answer.status >= 200 && answer.status < 300) {
                SyncRecord& record = state.records[*step.record];
                record.localUid.clear();
                record.localFacts.clear();
                state.journal(record);
                forget.insert(record.href);
                result.deletedHere.push_back(step.name);
            } else if (answer.status == 412) {
                result.conflicts.push_back(step.name + "（ほかのプログラムが先に変更しました）");
            } else {
                result.failed.push_back(step.name + "（HTTP " + std::to_string(answer.status) +
                                        "）");
            }
            continue;
        }
        if (step.kind == SyncStep::Kind::Absorbed && plan.deleteAbsorbed) {
            CardDavTransport::PutAnswer answer =
                transport.deleteCard(state.records[*step.record].href, step.server.etag);
            ++result.writes;
            if (answer.status >= 200 && answer.status < 300) {
                SyncRecord& record = state.records[*step.record];
                record.localUid.clear();
                record.localFacts.clear();
                forget.insert(record.href);  // forgotten below
                result.absorbed.push_back(step.name);
            } else {
                result.failed.push_back(step.name + "（HTTP " + std::to_string(answer.status) +
                                        "）");
            }
            continue;
        }
        bool absorbed = step.kind == SyncStep::Kind::Absorbed;
        if (step.kind != SyncStep::Kind::Create && step.kind != SyncStep::Kind::Update && !absorbed)
            continue;
        const LocalPerson& person = people[*step.local];
        // An absorbed card is written like an update; it stays the card of the merged entry.
        std::string href = step.kind == SyncStep::Kind::Create
                               ? transport.hrefFor(freshName(summaryOf(step.body).uid))
                               : state.records[*step.record].href;
        std::string body = step.body;
        CardDavTransport::PutAnswer answer = transport.putCard(
            href, body, step.kind == SyncStep::Kind::Create ? std::string() : step.server.etag);
        ++result.writes;
        if (progress) progress(++done, total);
        if (answer.status == 412) {
            // Another wrote first: theirs stands, and the person is a conflict.
            result.conflicts.push_back(step.name + "（ほかのプログラムが先に変更しました）");
            result.raced.push_back(step.name);
            continue;
        }
        if (answer.status < 200 || answer.status >= 300) {
            std::string why = answer.status == 0
                                  ? answer.error
                                  : "HTTP " + std::to_string(answer.status) +
                                        (answer.error.empty() ? "" : " " + answer.error);
            result.failed.push_back(step.name + "（" + why + "）");
            continue;
        }
        SyncRecord record;
        if (step.record) record = state.records[*step.record];
        record.href = answer.location.empty() ? href : answer.location;
        record.etag = answer.etag;
        record.serverUid = summaryOf(body).uid;
        if (!absorbed) record.localUid = person.uid;
        record.localFacts = cardFacts(person.card);
        record.serverFacts = cardFacts(body);
        state.journal(record);
        if (step.record)
            state.records[*step.record] = record;
        else
            state.records.push_back(record);
        (step.kind == SyncStep::Kind::Create   ? result.created
         : step.kind == SyncStep::Kind::Update ? result.updated
                                               : result.absorbed)
            .push_back(step.name);
    }
    // A card tied to no one here stays recorded as the server's own, so that a later person is
    // tied to it by the rule without every card being listed again; one gone from the server
    // is forgotten.
    std::erase_if(state.records, [&](const SyncRecord& record) {
        return record.localUid.empty() && record.localFacts.empty() && forget.count(record.href);
    });
    if (!plan.token.empty()) state.token = plan.token;
    state.save();
    return result;
}

}  // namespace tsunagi
