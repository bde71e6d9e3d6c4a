#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "cli/json.h"
#include "platform/codec.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// Runs the command line with its temporary store in the folder's "work", which must be empty
// again afterwards, whatever the run did.
CliRun runCli(const TempFolder& folder, const std::string& arguments) {
    std::filesystem::create_directories(folder.file("work"));
    std::string command = "TMPDIR=" + folder.file("work") + " " + std::string(TSUNAGI_CLI) + " " +
                          arguments + " >" + folder.file("stdout") + " 2>" + folder.file("stderr");
    int raw = std::system(command.c_str());
    EXPECT_TRUE(std::filesystem::is_empty(folder.file("work"))) << arguments;
    return {WEXITSTATUS(raw), readBytes(folder.file("stdout")), readBytes(folder.file("stderr"))};
}

const std::string kCards =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:\x97\x9b\r\nTEL;CELL:090-1\r\nX-JPG-MDNO:"
    "9\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:O'Hara\r\nEND:VCARD\r\n";

TEST(Cli, ListAndRowsOfTheImportedFiles) {
    TempFolder folder;
    std::string cards = folder.write("cards.vcf", kCards);
    std::string book = folder.write("book.csv", utf8ToCp932("表示名,携帯電話\r\nA,080\r\n"));
    CliRun run = runCli(folder, "--list --rows " + cards + " " + book);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string filler;
    for (int i = 0; i < 22; ++i) filler += "\u3000";
    EXPECT_EQ(
        run.out,
        "  李" + filler + "<>1\n" + "O'Har" + filler + "<>2\n" + "  A" + filler + "<>3\n" +
            "3ﾃﾞｰﾀ\n" +
            "{\"id\":1,\"1\":\"BEGIN:VCARD\",\"2\":\"VERSION:2.1\",\"3\":\"N;CHARSET=SHIFT_JIS:"
            "李\","
            "\"4\":\"TEL;CELL:090-1\",\"5\":\"X-JPG-MDNO:9\",\"6\":\"END:VCARD\"}\n"
            "{\"id\":2,\"1\":\"BEGIN:VCARD\",\"2\":\"VERSION:2.1\",\"3\":\"N;CHARSET=SHIFT_JIS:O'"
            "Hara\","
            "\"4\":\"END:VCARD\"}\n"
            "{\"id\":3,\"1\":\"BEGIN:VCARD\",\"2\":\"VERSION:2.1\",\"3\":\"N;CHARSET=SHIFT_JIS:A\","
            "\"4\":\"X-JPG-OWNER:0\",\"5\":\"TEL;CELL:080<>\",\"6\":\"X-GNO:0\",\"7\":\"X-JPG-MDNO:"
            "1\","
            "\"8\":\"END:VCARD\"}\n");
}

TEST(Cli, OutputsAreWrittenAfterAllImports) {
    TempFolder folder;
    std::string cards = folder.write("cards.vcf", kCards);
    CliRun run = runCli(folder, "-o " + folder.file("merged.vcf") + " -o " +
                                    folder.file("list.html") + " " + cards + " " + cards);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string merged = cp932ToUtf8(readBytes(folder.file("merged.vcf")));
    EXPECT_NE(merged.find("TEL;CELL:0901\r\nX-JPG-MDNO:1\r\n"), std::string::npos);
    EXPECT_NE(merged.find("TEL;CELL:0901\r\nX-JPG-MDNO:3\r\n"), std::string::npos);
    EXPECT_NE(cp932ToUtf8(readBytes(folder.file("list.html"))).find("データ&nbsp;4"),
              std::string::npos);
}

TEST(Cli, OneOutputThatFailsLeavesEveryOutputAsItWas) {
    TempFolder folder;
    std::string cards = folder.write("cards.vcf", kCards);
    std::string kept = folder.write("a.vcf", "what was there");
    CliRun run = runCli(folder, "-o " + kept + " -o " + folder.file("b.html") + " -o " +
                                    folder.file("missing/c.csv") + " " + cards);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(folder.file("missing/c.csv")), std::string::npos) << run.err;
    // The reason is in Japanese, like every message the program gives.
    EXPECT_NE(run.err.find("ファイルまたはフォルダーがありません"), std::string::npos) << run.err;
    EXPECT_EQ(readBytes(kept), "what was there");
    EXPECT_FALSE(std::filesystem::exists(folder.file("b.html")));
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tsunagi-"), std::string::npos)
            << entry.path();
}

TEST(Cli, ExitCodes) {
    TempFolder folder;
    std::string good = folder.write("good.vcf", kCards);
    std::string bad = folder.write("bad.vcf", "BEGIN:VCARD\r\nN:cut short\r\n");
    CliRun failed = runCli(folder, "--list -o " + folder.file("out.csv") + " " + good + " " + bad);
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find(bad), std::string::npos);
    EXPECT_NE(failed.err.find("1 行目"), std::string::npos);
    EXPECT_EQ(failed.out, "");
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.csv")));

    EXPECT_EQ(runCli(folder, folder.file("missing.vcf")).status, 1);
    // Nowhere to put its store: said, and nothing done.
    std::string command = "TMPDIR=" + folder.file("none") + " " + std::string(TSUNAGI_CLI) +
                          " -o " + folder.file("out.csv") + " " + good + " 2>" +
                          folder.file("stderr");
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
    EXPECT_NE(readBytes(folder.file("stderr")).find("作業用のファイルを作れません"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.csv")));
    for (const std::string& arguments :
         std::vector<std::string>{"", "--bogus " + good, "notes.txt", "-o out.txt " + good, "-o"}) {
        CliRun usage = runCli(folder, arguments);
        EXPECT_EQ(usage.status, 2) << arguments;
        EXPECT_NE(usage.err.find("usage: tsunagi-cli"), std::string::npos);
    }
}

// A run stopped by a signal (here while its list waits on a full pipe) takes its temporary
// store with it.
TEST(Cli, AStoppedRunLeavesNoStoreBehind) {
    TempFolder folder;
    std::string cards;
    for (int i = 0; i < 4000; ++i)
        cards += "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Name" + std::to_string(i) + "\r\nTEL;CELL:090" +
                 std::to_string(10000000 + i) + "\r\nEND:VCARD\r\n";
    std::string input = folder.write("many.vcf", cards);
    std::filesystem::create_directories(folder.file("work"));
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        setenv("TMPDIR", folder.file("work").c_str(), 1);
        execl(TSUNAGI_CLI, TSUNAGI_CLI, "--list", input.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    // The list goes out after the import: once it begins, with nobody reading, the run waits
    // with its store.
    pollfd listed{out[0], POLLIN, 0};
    EXPECT_EQ(poll(&listed, 1, 60000), 1);
    EXPECT_FALSE(std::filesystem::is_empty(folder.file("work")));
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    close(out[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(std::filesystem::is_empty(folder.file("work")));
}

TEST(Cli, MergeDuplicatesAfterTheImports) {
    TempFolder folder;
    std::string cards = folder.write("cards.vcf", kCards);
    CliRun run = runCli(folder, "--merge-duplicates --list " + cards + " " + cards);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("2ﾃﾞｰﾀ"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("4 件のデータを 2 件にまとめました。"), std::string::npos) << run.err;
}

TEST(Cli, JsonStrings) {
    EXPECT_EQ(jsonString("a\"b\\c\r\n\x01李"), "\"a\\\"b\\\\c\\r\\n\\u0001李\"");
}

TEST(Cli, DuplicatesAsJsonLinesAndColumnsTheUserAssigns) {
    TempFolder folder;
    std::string cards = folder.write(
        "same.vcf",
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ono;Aki;;;\r\nTEL:0311112222\r\nEND:VCARD\r\n");
    std::string more = folder.write(
        "more.vcf",
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ono;Aki;;;\r\nTEL:03-1111-2222\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ono;Aki;;;\r\nTEL:0399998888\r\nEND:VCARD\r\n");
    CliRun run = runCli(folder, "--duplicates " + cards + " " + more);
    ASSERT_EQ(run.status, 0) << run.err;
    // One person in two books, and a namesake with nothing in common (kept apart in the second
    // book), asked about in the person's group: each entry in one group.
    EXPECT_EQ(run.out, "{\"kind\": \"same\", \"ids\": [1, 2], \"asked\": [3]}\n");

    // Headings no layout knows: refused, unless the user says what the columns hold.
    std::string book = folder.write("liste.csv",
                                    "Nom;Prénom;Portable;Courriel;Remarque\n"
                                    "Martin;Léa;06 12 34 56 78;lea@example.fr;amie\n");
    EXPECT_EQ(runCli(folder, "--rows " + book).status, 1);
    run = runCli(folder,
                 "--rows --columns \"Nom=family,Prénom=given,Portable=mobile,"
                 "Courriel=mail,Remarque=note\" --vcard3 " +
                     folder.file("out.vcf") + " " + book);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("N;CHARSET=SHIFT_JIS:Martin;Léa"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("TEL;CELL:06 12 34 56 78"), std::string::npos);
    EXPECT_NE(run.out.find("EMAIL;INTERNET:lea@example.fr"), std::string::npos);
    EXPECT_NE(readBytes(folder.file("out.vcf")).find("NOTE:amie"), std::string::npos);
    EXPECT_EQ(runCli(folder, "--columns Nom=nickname " + book).status, 2);
}

TEST(Cli, ACsvWithoutHeadingsByColumnPositions) {
    TempFolder folder;
    std::string book = folder.write("nohead.csv", "Ono Aki,09011112222,aki@example.jp\r\n");
    CliRun run = runCli(folder, "--no-heading --columns 1=name,2=mobile,3=mail --rows " + book);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("N;CHARSET=SHIFT_JIS:Ono;Aki"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("TEL;CELL:09011112222"), std::string::npos) << run.out;
    // Without --columns it is a usage error.
    EXPECT_EQ(runCli(folder, "--no-heading " + book).status, 2);
}

}  // namespace
}  // namespace tsunagi
