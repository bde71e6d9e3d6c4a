// Build tool: writes the workbook template that ships beside the program.
#include <cstdio>

#include "platform/error.h"
#include "platform/text_file.h"
#include "workbook/sheet.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tsunagi-mktemplate PATH\n");
        return 2;
    }
    try {
        tsunagi::AtomicFile file(argv[1]);
        tsunagi::saveAsXls(tsunagi::templateSheet(), file);
        file.commit();
    } catch (const tsunagi::TsunagiError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
