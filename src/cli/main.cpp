// tsunagi-cli: the same imports and exports as the windows, on a fresh store of its own: a
// temporary file, deleted at the end.
//
//   tsunagi-cli [--list] [--rows] [-o OUTPUT]... FILE...

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#ifdef TSUNAGI_CARDDAV
#include <QCoreApplication>

#include "carddav/carddav_client.h"
#endif
#include "cli/json.h"
#include "commands/open_command.h"
#include "commands/save_command.h"
#include "import/csv_import.h"
#include "merge/duplicates.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/install_layout.h"
#include "platform/memory.h"
#include "platform/program_name.h"
#include "store/entries.h"
#include "store/entry_list.h"
#include "sync/sync_engine.h"

using namespace tsunagi;

namespace {

// The temporary store's file and its journal, removed where the run is interrupted (Ctrl+C, a
// terminal closed, a kill): the people in it are nobody else's business.
char storeFile[4096], storeJournal[4096];

void removeStoreAndStop(int signal) {
    unlink(storeFile);
    unlink(storeJournal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void removeStoreOnSignals(const std::string& path) {
    if (path.size() + sizeof "-journal" > sizeof storeFile) return;
    std::snprintf(storeFile, sizeof storeFile, "%s", path.c_str());
    std::snprintf(storeJournal, sizeof storeJournal, "%s-journal", path.c_str());
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, removeStoreAndStop);
}

const char* const kUsage =
    "usage: tsunagi-cli [--list] [--rows] [--duplicates] [--merge-duplicates] [-o OUTPUT]...\n"
    "                   [--vcard3 FILE] [--google-csv FILE] FILE...\n"
    "\n"
    "Imports each FILE (.vcf, .csv, .xls/.xlsx) in order into a fresh temporary store\n"
    "(in $TMPDIR, else /tmp; deleted at the end), then prints and writes what was asked for.\n"
    "\n"
    "  --list      print the main window's list lines, then the count label\n"
    "  --rows      print every row as one JSON object per line\n"
    "  -o OUTPUT   write all entries to OUTPUT (.csv, .vcf, .xls/.xlsx, .html); repeatable\n"
    "  --vcard3 FILE      write all entries as vCard 3.0 in UTF-8, for today's phones\n"
    "  --google-csv FILE  write all entries as a Google Contacts CSV\n"
    "  --duplicates       print the groups of entries that may be one person, one JSON object\n"
    "                     a line: {\"kind\": \"same\"|\"possible\", \"ids\": [...]} (ids as "
    "--rows),\n"
    "                     with \"asked\": [...] for entries only possibly that person; each\n"
    "                     entry is in one group\n"
    "  --no-heading       the CSV's first row is data too; --columns then names the\n"
    "                     columns by position from 1 (\"1=name,2=mobile\")\n"
    "  --columns HEADING=FIELD,...  what a CSV's columns hold, by heading: name, family,\n"
    "                     given, reading, number, home, mobile, work, mail, mobile-mail,\n"
    "                     company, title, address, birthday, note, keep, skip\n"
    "  --merge-duplicates merge the groups of the same person (\"same\": one name from\n"
    "                     two books with a number or mail in common or nothing that\n"
    "                     conflicts, the same card read twice, one name written two ways)\n"
    "                     after all imports, before the outputs; namesakes, one name twice\n"
    "                     in one book and those who only share a number are never merged\n"
    "\n"
    "  --carddav URL      sync every entry with the CardDAV address book at URL (a book's\n"
    "                     address, or a server's to find it from); needs --user and\n"
    "                     --password-file; prints what it sent and every conflict, which\n"
    "                     it leaves as the server has it; nothing is deleted there\n"
    "  --user NAME        the CardDAV user\n"
    "  --password-file FILE  the CardDAV password, the file's first line\n"
    "  --sync-state DIR   where the sync keeps what it last sent (default\n"
    "                     $XDG_DATA_HOME/tsunagi/carddav)\n"
    "\n"
    "  --help      print this text; --version prints the version\n"
    "\n"
    "Exit status: 0 success (with --carddav: everything in sync), 1 a file failed (nothing\n"
    "written) or a person conflicted or was not sent, 2 usage error.\n";

struct Options {
    bool list = false;
    bool rows = false;
    bool merge = false;
    bool duplicates = false;
    std::optional<CsvAssignment> columns;
    std::vector<ExportTarget> outputs;
    std::vector<std::string> unknownOutputs;  // -o names of no kind
    std::vector<std::string> inputs;
    std::string carddav, user, passwordFile, syncState;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "tsunagi-cli: %s\n\n%s", message.c_str(), kUsage);
    return 2;
}

void printRows(const Store& store) {
    Connection connection = store.open();
    forEachEntry(connection, [](const EntryRow& row) {
        std::string line = "{\"id\":" + std::to_string(row.id);
        for (int c = 0; c < kCardColumns; ++c)
            if (row.columns[c])
                line += ",\"" + std::to_string(c + 1) + "\":" + jsonString(*row.columns[c]);
        std::cout << line << "}\n";
    });
}

#ifdef TSUNAGI_CARDDAV
// Syncs the store with the address book; 0 when everything is in sync.
int syncWith(const Options& options, const Store& store, int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::string password = readFileBytes(options.passwordFile);
    password = password.substr(0, password.find_first_of("\r\n"));
    CardDavClient client(QUrl(QString::fromStdString(options.carddav)),
                         QString::fromStdString(options.user), QString::fromStdString(password));
    std::vector<AddressBook> books = client.discover();
    if (books.empty()) throw TsunagiError(options.carddav, 0, "アドレス帳がありません。");
    if (books.size() > 1) {
        std::cerr << "tsunagi-cli: " << options.carddav
                  << ": several address books; give one of these as --carddav:\n";
        for (const AddressBook& book : books)
            std::cerr << "  " << book.url.toString().toStdString() << "  "
                      << book.name.toStdString() << '\n';
        return 2;
    }
    client.useBook(books.front().url);
    std::string bookUrl = books.front().url.toString().toStdString();
    SyncState state(
        stateFolderFor(options.syncState.empty() ? syncStateFolder() : options.syncState, bookUrl,
                       options.user),
        bookUrl);
    std::vector<LocalPerson> people = localPeople(store);
    SyncPlan plan = planSync(people, state, client);
    std::cout << plan.summary() << '\n';
    SyncResult result = runSync(plan, people, state, client);
    for (const std::string& name : result.created) std::cout << "新規: " << name << '\n';
    for (const std::string& name : result.updated) std::cout << "変更: " << name << '\n';
    for (const std::string& name : result.absorbed)
        std::cout << "まとめた人の別のカードを変更: " << name << '\n';
    for (const std::string& name : result.conflicts) std::cout << "競合: " << name << '\n';
    for (const std::string& name : result.failed) std::cout << "送れません: " << name << '\n';
    for (const std::string& name : result.deletedThere)
        std::cout << "サーバーで削除済み（送りません）: " << name << '\n';
    for (const std::string& name : result.keptThere)
        std::cout << "ここで削除済み（サーバーには残します）: " << name << '\n';
    std::cout << "書き込み " << result.writes << " 件\n";
    return result.inSync() ? 0 : 1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    reuseFreedMemory();
    std::ios::sync_with_stdio(false);
    Options options;
    bool noHeading = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--list") {
            options.list = true;
        } else if (arg == "--rows") {
            options.rows = true;
        } else if (arg == "--merge-duplicates") {
            options.merge = true;
        } else if (arg == "--duplicates") {
            options.duplicates = true;
        } else if (arg == "--no-heading") {
            noHeading = true;
        } else if (arg == "--columns") {
            if (++i == argc) return usageError("--columns needs HEADING=FIELD,...");
            try {
                options.columns = parseColumnAssignment(argv[i]);
            } catch (const TsunagiError& error) {
                return usageError(error.what());
            }
        } else if (arg == "-o") {
            if (++i == argc) return usageError("-o needs an output file name");
            std::optional<FileKind> kind = saveKindForName(argv[i]);
            if (kind)
                options.outputs.push_back({argv[i], *kind});
            else
                options.unknownOutputs.push_back(argv[i]);
        } else if (arg == "--vcard3" || arg == "--google-csv") {
            if (++i == argc) return usageError(arg + " needs an output file name");
            options.outputs.push_back(
                {argv[i], arg == "--vcard3" ? FileKind::Vcard3 : FileKind::GoogleCsv});
        } else if (arg == "--carddav" || arg == "--user" || arg == "--password-file" ||
                   arg == "--sync-state") {
            if (++i == argc) return usageError(arg + " needs a value");
            (arg == "--carddav"         ? options.carddav
             : arg == "--user"          ? options.user
             : arg == "--password-file" ? options.passwordFile
                                        : options.syncState) = argv[i];
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("tsunagi-cli (%s) %s\n", kAppTitle, versionText().c_str());
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else {
            options.inputs.push_back(arg);
        }
    }
    if (options.inputs.empty() && options.carddav.empty()) return usageError("no input file");
    if (!options.carddav.empty() && (options.user.empty() || options.passwordFile.empty()))
        return usageError("--carddav needs --user and --password-file");
#ifndef TSUNAGI_CARDDAV
    // The sync runs on Qt Network in a program of its own, so that every other run of this one
    // loads no Qt at all.
    if (!options.carddav.empty()) {
        std::string helper = programFiles(programFolder()).syncHelper;
        argv[0] = helper.data();
        ::execv(helper.c_str(), argv);
        std::fprintf(stderr, "tsunagi-cli: %s: %s\n", helper.c_str(), std::strerror(errno));
        return 1;
    }
#endif
    if (noHeading) {
        if (!options.columns) return usageError("--no-heading needs --columns 1=FIELD,...");
        options.columns->firstRowIsData = true;
    }
    for (const std::string& input : options.inputs)
        if (!openKindForName(input)) return usageError(input + ": not a .vcf, .csv or .xls file");
    if (!options.unknownOutputs.empty())
        return usageError(options.unknownOutputs.front() +
                          ": not a .csv, .vcf, .xls or .html file");

    try {
        Store store = Store::temporary();
        removeStoreOnSignals(store.databasePath());
        // Keys are what the same person is sought by: a run that seeks nobody makes none, and
        // one that seeks once, straight after its imports, holds them in memory.
        if (options.carddav.empty()) {
            if (!options.merge && !options.duplicates)
                store.leaveKeysUntilAsked();
            else
                store.holdKeysInMemory();
        }
        for (const std::string& input : options.inputs) {
            ImportReport report;
            FileKind kind = *openKindForName(input);
            // What the user says the columns hold, over the layout the headings name.
            if (kind == FileKind::AddressBook && options.columns)
                ImportCsvBook(store, input, {}, &report, &*options.columns);
            else
                importFile(store, input, kind, {}, &report);
            if (std::string note = report.note(); !note.empty())
                std::cerr << "tsunagi-cli: " << input << ": " << note << '\n';
        }
        if (options.duplicates)
            for (const DuplicateGroup& group : findDuplicates(store)) {
                std::string ids, asked;
                for (const DuplicateEntry& entry : group.entries)
                    (entry.asked ? asked : ids) += (entry.asked ? asked : ids).empty()
                                                       ? std::to_string(entry.id)
                                                       : ", " + std::to_string(entry.id);
                std::cout << "{\"kind\": \"" << (group.sure() ? "same" : "possible")
                          << "\", \"ids\": [" << ids << "]"
                          << (asked.empty() ? "" : ", \"asked\": [" + asked + "]") << "}\n";
            }
        if (options.merge) {
            std::vector<DuplicateGroup> groups = findDuplicates(store, true);
            std::erase_if(groups, [](const DuplicateGroup& group) { return !group.sure(); });
            std::cerr << "tsunagi-cli: " << describeMerge(mergeDuplicates(store, groups)) << '\n';
        }
        if (options.list) {
            int count =
                forEachListLine(store, [](const std::string& line) { std::cout << line << '\n'; });
            std::cout << countLabel(count) << '\n';
        }
        if (options.rows) printRows(store);
        std::vector<std::string> notes =
            exportToFiles(store, programFiles(programFolder()).shipped, options.outputs);
        for (size_t i = 0; i < notes.size(); ++i)
            if (!notes[i].empty()) std::cerr << options.outputs[i].path << ": " << notes[i] << '\n';
#ifdef TSUNAGI_CARDDAV
        if (!options.carddav.empty()) return syncWith(options, store, argc, argv);
#endif
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << "tsunagi-cli: " << describeFailure(error) << '\n';
        return 1;
    }
    return 0;
}
