// Build tool: creates the program's store file, keyed, from the schema.
#include <cstdio>

#include "platform/error.h"
#include "store/store.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tsunagi-mkstore PATH\n");
        return 2;
    }
    try {
        tsunagi::Store::createFile(argv[1]);
    } catch (const tsunagi::TsunagiError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
