#pragma once

// Where the program's files are. In the build's program folder they stand beside the
// executable; installed, the programs are in bin/, the workbook reader in libexec/tsunagi/ and
// the shipped files in share/tsunagi/. The working store lives where this user may write.

#include <string>

namespace tsunagi {

struct ProgramFiles {
    std::string shipped;     // database/keitai.mdb (a new store), database/template.xls, help/
    std::string helper;      // tsunagi-xlsread
    std::string syncHelper;  // tsunagi-sync: the command line's CardDAV sync, on Qt Network
    bool installed = false;  // the install layout, whose shared files are never written
};

// The files of the program whose executable is in `executableFolder`.
ProgramFiles programFiles(const std::string& executableFolder);

// The folder of the working store (database/keitai.mdb) and of backup/: the build's program
// folder when this user may write its store there; installed (or where the user may not write)
// $XDG_DATA_HOME/tsunagi (~/.local/share/tsunagi), made on the first start with a copy of the
// shipped store. Throws TsunagiError naming the folder when it cannot be made.
std::string userDataFolder(const ProgramFiles& files);

// Where the CardDAV sync keeps what it last sent to each address book:
// $XDG_DATA_HOME/tsunagi/carddav (~/.local/share/tsunagi/carddav).
std::string syncStateFolder();

}  // namespace tsunagi
