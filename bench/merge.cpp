// Times finding and merging duplicates among N entries of which a tenth are second copies:
// the same name spelled another way, with another number.
//   bench/merge N   (default 100000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "merge/duplicates.h"
#include "store/entries.h"

using namespace tsunagi;

int main(int argc, char** argv) {
    long count = argc > 1 ? std::atol(argv[1]) : 100000;
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        Transaction transaction(connection);
        EntryInserter inserter(connection);
        long unique = count - count / 10;
        for (long i = 0; i < count; ++i) {
            long person = i < unique ? i : (i - unique) * 9;
            std::string name =
                i < unique ? "山田;" + std::to_string(person) : "山田 " + std::to_string(person);
            inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:" + name,
                             "TEL;CELL:090" + std::to_string(10000000 + i),
                             "EMAIL;INTERNET:p" + std::to_string(person) + "@example.jp",
                             "X-JPG-MDNO:" + std::to_string(i + 1), "END:VCARD"});
        }
        transaction.commit();
    }
    auto start = std::chrono::steady_clock::now();
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    auto found = std::chrono::steady_clock::now();
    MergeResult result = mergeDuplicates(store, groups);
    auto merged = std::chrono::steady_clock::now();
    std::printf("%ld entries: %zu groups found in %.2f s; %s in %.2f s\n", count, groups.size(),
                std::chrono::duration<double>(found - start).count(), describeMerge(result).c_str(),
                std::chrono::duration<double>(merged - found).count());
    return 0;
}
