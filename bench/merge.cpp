// Times finding and merging duplicates among N entries, in two shapes:
// - a tenth are second copies: the same name spelled another way, with another number;
// - twenty people, each read from many backups with a new number each time, so that every
//   group is thousands strong.
//   bench/merge N   (default 100000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "merge/duplicates.h"
#include "store/entries.h"

using namespace tsunagi;

namespace {

// Stores `count` cards, the name of card i being `nameOf(i)` and its mail `mailOf(i)`, then
// finds and merges their duplicates.
void run(const char* shape, long count, const std::function<std::string(long)>& nameOf,
         const std::function<std::string(long)>& mailOf) {
    Store store = Store::inMemory();
    auto importing = std::chrono::steady_clock::now();
    {
        Connection connection = store.open();
        Transaction transaction(connection);
        EntryInserter inserter(connection);
        for (long i = 0; i < count; ++i)
            inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:" + nameOf(i),
                             "TEL;CELL:090" + std::to_string(10000000 + i),
                             "EMAIL;INTERNET:" + mailOf(i), "X-JPG-MDNO:" + std::to_string(i + 1),
                             "END:VCARD"});
        transaction.commit();
    }
    auto start = std::chrono::steady_clock::now();
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    auto found = std::chrono::steady_clock::now();
    MergeResult result = mergeDuplicates(store, groups);
    auto merged = std::chrono::steady_clock::now();
    double imported = std::chrono::duration<double>(start - importing).count();
    double all = std::chrono::duration<double>(merged - start).count();
    std::printf(
        "%ld entries, %s: %zu groups found in %.2f s; %s in %.2f s; storing them took "
        "%.2f s, finding and merging %.1fx that\n",
        count, shape, groups.size(), std::chrono::duration<double>(found - start).count(),
        describeMerge(result).c_str(), std::chrono::duration<double>(merged - found).count(),
        imported, all / imported);
}

}  // namespace

int main(int argc, char** argv) {
    long count = argc > 1 ? std::atol(argv[1]) : 100000;
    long unique = count - count / 10;
    auto person = [unique](long i) { return i < unique ? i : (i - unique) * 9; };
    run(
        "a tenth second copies", count,
        [&](long i) {
            return i < unique ? std::string("山田;").append(std::to_string(person(i)))
                              : std::string("山田 ").append(std::to_string(person(i)));
        },
        [&](long i) {
            return std::string("p").append(std::to_string(person(i))).append("@example.jp");
        });
    run(
        "twenty people", count,
        [](long i) { return std::string("山田;").append(std::to_string(i % 20)); },
        [](long i) {
            return std::string("p").append(std::to_string(i % 20)).append("@example.jp");
        });
    return 0;
}
