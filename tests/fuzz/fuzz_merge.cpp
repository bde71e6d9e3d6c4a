// Two books of any bytes (cut at the first blank line pair, else one book read twice): read,
// their duplicates found and the same people merged as --merge-duplicates does. Nothing may
// crash, and the merge may only move mails and numbers between entries: the store holds the
// same ones before and after, and so do the notes, companies, titles, addresses and web pages
// it unites. The books read the other way round give the same people; a store that holds its
// keys in memory (and merges a card stored twice without reading it) gives the same entries.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include "card/checks.h"
#include "card/entry_keys.h"
#include "card/person.h"
#include "card/properties.h"
#include "import/vcf_import.h"
#include "merge/duplicates.h"
#include "platform/error.h"
#include "platform/text.h"
#include "store/entries.h"
#include "store/identity.h"

namespace {

std::set<std::string> mailsAndNumbers(const tsunagi::Store& store) {
    std::set<std::string> facts;
    tsunagi::Connection connection = store.open();
    tsunagi::forEachEntry(connection, [&facts](const tsunagi::EntryRow& row) {
        tsunagi::Person person = tsunagi::readPerson(row);
        for (const tsunagi::PersonItem& mail : person.mails)
            facts.insert("mail " + tsunagi::mailKey(tsunagi::trimBlanks(mail.text())));
        for (const tsunagi::PersonItem& number : person.numbers) {
            std::string text = tsunagi::trimBlanks(number.text());
            if (tsunagi::startsWithIgnoringCase(text, "tel:")) text = text.substr(4);
            facts.insert("number " + tsunagi::numberKey(text));
        }
        // What a person has several of; an empty one is no value.
        auto add = [&facts](const std::string& kind, const std::string& value) {
            std::string text = tsunagi::trimBlanks(value);
            if (!text.empty()) facts.insert(kind + " " + text);
        };
        for (const std::string& note : person.notes) add("note", note);
        for (const std::string& title : person.titles) add("title", title);
        for (const std::vector<std::string>& organization : person.organizations) {
            std::string joined;
            for (const std::string& part : organization) joined += part + ";";
            add("organization", joined.find_first_not_of(';') == std::string::npos ? "" : joined);
        }
        for (const tsunagi::PersonItem& address : person.addresses) {
            std::string joined;
            for (const std::string& part : address.components()) joined += part + ";";
            add("address", joined.find_first_not_of("; ") == std::string::npos ? "" : joined);
        }
        for (const tsunagi::PersonItem& website : person.websites) add("web page", website.text());
    });
    return facts;
}

// Every entry's lines, but what tells which entries were merged (their ids, UIDs and the UIDs
// of those merged), in no order.
std::multiset<std::string> people(const tsunagi::Store& store) {
    std::multiset<std::string> all;
    tsunagi::Connection connection = store.open();
    tsunagi::forEachEntry(connection, [&all](const tsunagi::EntryRow& row) {
        std::string lines;
        for (const std::optional<std::string>& column : row.columns)
            if (column) lines += *column + "\n";
        for (const std::string& extra : row.extras) {
            tsunagi::PropertyKind kind = tsunagi::propertyKind(tsunagi::propertyName(extra));
            if (kind != tsunagi::PropertyKind::Uid && kind != tsunagi::PropertyKind::MergedUid)
                lines += extra + "\n";
        }
        all.insert(lines);
    });
    return all;
}

// Every entry's lines and what it keeps beyond them, in id order.
std::vector<std::string> rows(const tsunagi::Store& store) {
    std::vector<std::string> all;
    tsunagi::Connection connection = store.open();
    tsunagi::forEachEntry(connection, [&all](const tsunagi::EntryRow& row) {
        std::string& lines = all.emplace_back(std::to_string(row.id) + "\n");
        for (const std::optional<std::string>& column : row.columns)
            if (column) lines += *column + "\n";
        for (const std::string& extra : row.extras) lines += "+" + extra + "\n";
    });
    return all;
}

// The ids of the sure groups' entries the user is not asked about, group by group.
std::vector<std::vector<std::int64_t>> idsOf(const std::vector<tsunagi::DuplicateGroup>& groups) {
    std::vector<std::vector<std::int64_t>> ids;
    for (const tsunagi::DuplicateGroup& group : groups) {
        if (!group.sure()) continue;
        std::vector<std::int64_t>& entries = ids.emplace_back();
        for (const tsunagi::DuplicateEntry& entry : group.entries)
            if (!entry.asked) entries.push_back(entry.id);
    }
    return ids;
}

// The two books read in this order and merged; false where the merge would not fit.
bool readAndMerge(const tsunagi::Store& store, const std::string& first, const std::string& second,
                  std::set<std::string>* before) {
    for (const std::string& book : {first, second}) {
        try {
            tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(book, "book.vcf");
            tsunagi::importVcfLines(store, lines);
        } catch (const tsunagi::TsunagiError&) {
        }
    }
    if (before) *before = mailsAndNumbers(store);
    std::vector<tsunagi::DuplicateGroup> groups = tsunagi::findDuplicates(store, true);
    std::erase_if(groups, [](const tsunagi::DuplicateGroup& group) { return !group.sure(); });
    // The groups merged unasked are the sure ones the dialog shows, however they were found.
    if (idsOf(groups) != idsOf(tsunagi::findDuplicates(store))) {
        std::fprintf(stderr, "the sure groups alone differ from the dialog's\n");
        std::abort();
    }
    try {
        tsunagi::mergeDuplicates(store, groups);
    } catch (const tsunagi::TsunagiError&) {
        return false;  // a merged entry too long for the store: nothing changed
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t cut = bytes.find("\n\n\n");
    std::string first = bytes.substr(0, cut);
    std::string second = cut == std::string::npos ? bytes : bytes.substr(cut + 3);
    tsunagi::Store store = tsunagi::Store::inMemory(), held = tsunagi::Store::inMemory();
    held.holdKeysInMemory();
    for (tsunagi::Store* each : {&store, &held}) {
        tsunagi::Connection connection = each->open();
        tsunagi::setIdentitySeed(connection, "00112233445566778899aabbccddeeff");
    }
    std::set<std::string> before;
    bool merged = readAndMerge(store, first, second, &before);
    if (readAndMerge(held, first, second, nullptr) != merged || rows(held) != rows(store)) {
        std::fprintf(stderr, "keys held in memory merge otherwise\n");
        std::abort();
    }
    if (std::set<std::string> after = mailsAndNumbers(store); after != before) {
        for (const std::string& fact : before)
            if (!after.count(fact)) std::fprintf(stderr, "lost: %s\n", fact.c_str());
        for (const std::string& fact : after)
            if (!before.count(fact)) std::fprintf(stderr, "made: %s\n", fact.c_str());
        std::abort();
    }
    if (merged && first != second) {
        tsunagi::Store other = tsunagi::Store::inMemory();
        if (readAndMerge(other, second, first, nullptr) && people(other) != people(store)) {
            std::multiset<std::string> one = people(store), two = people(other);
            for (const std::string& person : one)
                if (!two.count(person))
                    std::fprintf(stderr, "only in this order:\n%s", person.c_str());
            for (const std::string& person : two)
                if (!one.count(person))
                    std::fprintf(stderr, "only the other way:\n%s", person.c_str());
            std::abort();
        }
    }
    return 0;
}
