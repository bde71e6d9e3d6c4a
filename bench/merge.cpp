// Times finding and merging duplicates among N entries against importing the same phone backup
// alone, side by side in one run, in two shapes:
// - a tenth are second copies, in a backup of their own: the same name spelled another way,
//   with another number;
// - twenty people in one backup, each with a new number each time, so that every group is
//   thousands strong (a person's many entries in one file are asked about, never merged
//   unasked: this one measures the finding).
//   bench/merge N   (default 100000)

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "import/vcf_import.h"
#include "merge/duplicates.h"
#include "platform/codec.h"

using namespace tsunagi;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Writes the phone backups of `count` cards in `files` files of equal parts (one person's
// entries in one file are the user's own choice, never merged unasked), the name of card i being
// `nameOf(i)` and its mail `mailOf(i)`; their paths.
std::vector<std::string> writeBackups(long count, long files,
                                      const std::function<std::string(long)>& nameOf,
                                      const std::function<std::string(long)>& mailOf) {
    Cp932Encoder encoder;
    std::vector<std::string> paths;
    std::string utf8, bytes;
    long each = (count + files - 1) / files;
    for (long i = 0; i < count; ++i) {
        utf8 = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:" + nameOf(i) +
               "\r\nTEL;CELL:090" + std::to_string(10000000 + i) +
               "\r\nEMAIL;INTERNET:" + mailOf(i) + "\r\nX-JPG-MDNO:" + std::to_string(i + 1) +
               "\r\nEND:VCARD\r\n";
        encoder.encode(utf8, bytes);
        if ((i + 1) % each == 0 || i + 1 == count) {
            paths.push_back("/tmp/tsunagi-merge-bench-" + std::to_string(getpid()) + "-" +
                            std::to_string(paths.size()) + ".vcf");
            std::ofstream(paths.back(), std::ios::binary) << bytes;
            bytes.clear();
        }
    }
    return paths;
}

void run(const char* shape, long count, long files, const std::function<std::string(long)>& nameOf,
         const std::function<std::string(long)>& mailOf) {
    std::vector<std::string> paths = writeBackups(count, files, nameOf, mailOf);
    auto importAll = [&](const Store& store) {
        for (const std::string& path : paths) importVcfFile(store, path);
    };
    // Five pairs of runs, each the import alone and then the same import with its duplicates
    // found and merged; the median pair by its ratio is told, so that neither side pays alone
    // for a busy moment of the machine.
    struct Pair {
        double imported, total, found, merged;
        std::string words;
        size_t groups;
    };
    std::vector<Pair> pairs;
    for (int round = 0; round < 5; ++round) {
        Pair pair{};
        {
            Store store = Store::inMemory();
            auto start = std::chrono::steady_clock::now();
            importAll(store);
            pair.imported = secondsSince(start);
        }
        Store store = Store::inMemory();
        auto start = std::chrono::steady_clock::now();
        importAll(store);
        auto finding = std::chrono::steady_clock::now();
        std::vector<DuplicateGroup> groups = findDuplicates(store);
        std::erase_if(groups, [](const DuplicateGroup& group) { return !group.sure(); });
        auto merging = std::chrono::steady_clock::now();
        MergeResult result = mergeDuplicates(store, groups);
        pair.total = secondsSince(start);
        pair.found = std::chrono::duration<double>(merging - finding).count();
        pair.merged = secondsSince(merging);
        pair.words = describeMerge(result);
        pair.groups = groups.size();
        pairs.push_back(pair);
    }
    std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        return a.total / a.imported < b.total / b.imported;
    });
    const Pair& median = pairs[pairs.size() / 2];
    double imported = median.imported, total = median.total, found = median.found,
           merged = median.merged;
    const std::string& words = median.words;
    size_t groupCount = median.groups;
    for (const std::string& path : paths) std::remove(path.c_str());
    std::printf(
        "%ld entries, %s: importing %.2f s; importing and merging %.2f s (%zu groups found in "
        "%.2f s, %s in %.2f s): %.2fx the import alone (median of five pairs)\n",
        count, shape, imported, total, groupCount, found, words.c_str(), merged, total / imported);
}

}  // namespace

int main(int argc, char** argv) {
    long count = argc > 1 ? std::atol(argv[1]) : 100000;
    long unique = count - count / 10;
    auto person = [unique](long i) { return i < unique ? i : (i - unique) * 9; };
    // Ten backups of a tenth each, the second copies the last of them.
    run(
        "a tenth second copies", count, 10,
        [&](long i) {
            return i < unique ? std::string("山田;").append(std::to_string(person(i)))
                              : std::string("山田 ").append(std::to_string(person(i)));
        },
        [&](long i) {
            return std::string("p").append(std::to_string(person(i))).append("@example.jp");
        });
    run(
        "twenty people in one backup", count, 1,
        [](long i) { return std::string("山田;").append(std::to_string(i % 20)); },
        [](long i) {
            return std::string("p").append(std::to_string(i % 20)).append("@example.jp");
        });
    return 0;
}
