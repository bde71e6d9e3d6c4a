// Fills a program store with the cards of a phone file, as a previous run would have left it.
// Usage: fill-store PROGRAM_FOLDER CARDS.vcf
#include <cstdio>

#include "import/vcf_import.h"
#include "platform/error.h"
#include "store/store.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fill-store PROGRAM_FOLDER CARDS.vcf\n");
        return 2;
    }
    try {
        tsunagi::Store store(tsunagi::ConnectionString(argv[1]));
        long cards = tsunagi::importVcfFile(store, argv[2]);
        std::printf("%ld cards stored\n", cards);
    } catch (const tsunagi::TsunagiError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
