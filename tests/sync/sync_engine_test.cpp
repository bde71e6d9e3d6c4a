// The sync's decisions against a fake server held in memory: tie, update, create, conflict, a
// race lost to another client's write, and what is kept between runs.

#include "sync/sync_engine.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "sync/card_facts.h"

namespace tsunagi {
namespace {

// An address book in memory that answers as a CardDAV server does: ETags change with every
// write, a write whose condition fails is refused with 412.
class FakeServer : public CardDavTransport {
  public:
    std::map<std::string, ServerCard> cards;
    int puts = 0, fetched = 0;
    // Runs once, just before the next write is applied: another client's write landing first.
    std::function<void()> beforeNextPut;
    bool offersSync = false;            // answers sync-collection (RFC 6578)
    std::map<std::string, int> refuse;  // a card's words → the status every write of it gets
    int lists = 0;

    void store(const std::string& href, const std::string& card) {
        cards[href] = {href, "\"" + std::to_string(++version_) + "\"", card};
        changedAt_[href] = version_;
    }
    void erase(const std::string& href) {
        cards.erase(href);
        changedAt_[href] = ++version_;
    }
    std::optional<Changes> changesSince(const std::string& token) override {
        if (!offersSync) return std::nullopt;
        Changes changes;
        int since = token.empty() ? 0 : std::stoi(token);
        changes.complete = token.empty();
        for (const auto& [href, at] : changedAt_)
            if (at > since) {
                if (cards.count(href))
                    changes.changed[href] = cards[href].etag;
                else
                    changes.removed.push_back(href);
            }
        changes.token = std::to_string(version_);
        return changes;
    }
    std::map<std::string, std::string> listCards() override {
        ++lists;  // every card's ETag: what sync-collection spares
        std::map<std::string, std::string> listed;
        for (const auto& [href, card] : cards) listed[href] = card.etag;
        return listed;
    }
    std::vector<ServerCard> fetchCards(const std::vector<std::string>& hrefs) override {
        std::vector<ServerCard> found;
        for (const std::string& href : hrefs)
            if (cards.count(href)) {
                found.push_back(cards[href]);
                ++fetched;
            }
        return found;
    }
    PutAnswer putCard(const std::string& href, const std::string& card,
                      const std::string& ifMatch) override {
        ++puts;
        if (beforeNextPut) std::exchange(beforeNextPut, nullptr)();
        for (const auto& [words, status] : refuse)
            if (card.find(words) != std::string::npos) return {status, "", "", "refused"};
        auto at = cards.find(href);
        if (ifMatch.empty() ? at != cards.end() : at == cards.end() || at->second.etag != ifMatch)
            return {412, "", "", "precondition failed"};
        store(href, card);
        return {at == cards.end() ? 201 : 204, cards[href].etag, "", ""};
    }
    PutAnswer deleteCard(const std::string& href, const std::string& ifMatch) override {
        auto at = cards.find(href);
        if (at == cards.end() || at->second.etag != ifMatch) return {412, "", "", ""};
        erase(href);
        return {204, "", "", ""};
    }

  private:
    int version_ = 0;
    std::map<std::string, int> changedAt_;
};

std::string card(const std::string& name, const std::string& uid, const std::string& lines) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\n" + lines + "UID:" + uid +
           "\r\nEND:VCARD\r\n";
}

LocalPerson person(const std::string& name, const std::string& uid, const std::string& lines) {
    return {uid, {}, name, card(name, uid, lines)};
}

SyncResult sync(const std::vector<LocalPerson>& people, const std::string& folder,
                FakeServer& server, SyncPlan* planned = nullptr) {
    SyncState state(folder, "http://fake/book/");
    SyncPlan plan = planSync(people, state, server);
    if (planned) *planned = plan;
    return runSync(plan, people, state, server);
}

// Three people, each with a number of their own, synced once.
std::vector<LocalPerson> threePeopleSynced(const TempFolder& folder, FakeServer& server) {
    std::vector<LocalPerson> people = {person("山田太郎", "urn:uuid:1", "TEL:0311112222\r\n"),
                                       person("佐藤花子", "urn:uuid:2", "TEL:0322223333\r\n"),
                                       person("鈴木一郎", "urn:uuid:3", "TEL:0333334444\r\n")};
    EXPECT_EQ(sync(people, folder.path(), server).writes, 3);
    return people;
}

TEST(SyncEngine, TiesByTheRuleUpdatesCreatesAndThenSendsNothing) {
    TempFolder folder;
    FakeServer server;
    server.store("opaque.vcf",
                 card("山田太郎", "server-1",
                      "item1.TEL;TYPE=CELL:090-1111-2222\r\nitem1.X-ABLabel:mobile\r\n"
                      "PHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\n"));
    std::vector<LocalPerson> people = {
        person("山田太郎", "urn:uuid:1", "TEL;TYPE=CELL:09011112222\r\nEMAIL:taro@example.jp\r\n"),
        person("鈴木一郎", "urn:uuid:00000000-0000-4000-8000-000000000002",
               "TEL;TYPE=CELL:070-7777-8888\r\n")};
    SyncPlan plan;
    SyncResult first = sync(people, folder.path(), server, &plan);
    EXPECT_EQ(plan.summary(), "新規 1 件、変更 1 件、競合 0 件");
    EXPECT_EQ(first.writes, 2);
    EXPECT_TRUE(first.inSync());
    ASSERT_EQ(server.cards.size(), 2u);
    const std::string& yamada = server.cards["opaque.vcf"].card;
    for (const char* kept :
         {"item1.TEL;TYPE=CELL:090-1111-2222", "item1.X-ABLabel:mobile",
          "PHOTO;ENCODING=b;TYPE=JPEG:AAAA", "EMAIL:taro@example.jp", "UID:server-1"})
        EXPECT_NE(yamada.find(kept), std::string::npos) << kept << "\n" << yamada;
    EXPECT_EQ(yamada.find("urn:uuid:1"), std::string::npos);
    EXPECT_TRUE(server.cards.count("00000000-0000-4000-8000-000000000002.vcf"));

    // Nothing changed: nothing read, nothing written.
    int fetched = server.fetched;
    SyncResult second = sync(people, folder.path(), server);
    EXPECT_EQ(second.writes, 0);
    EXPECT_EQ(server.fetched, fetched);

    // A fresh run of the command line gives every person a new UID: the facts last sent and
    // the rule still find them, and only the one changed is written.
    people[0].uid = "urn:uuid:other";
    people[1] = person("鈴木一郎", "urn:uuid:00000000-0000-4000-8000-000000000009",
                       "TEL;TYPE=CELL:070-7777-8888\r\nEMAIL:ichiro@example.jp\r\n");
    SyncResult third = sync(people, folder.path(), server);
    EXPECT_EQ(third.writes, 1);
    EXPECT_EQ(third.updated, std::vector<std::string>{"鈴木一郎"});
    EXPECT_EQ(server.cards.size(), 2u);
}

TEST(SyncEngine, ConflictsAndALostRaceLeaveTheServersCard) {
    TempFolder folder;
    FakeServer server;
    std::vector<LocalPerson> people = threePeopleSynced(folder, server);
    ASSERT_EQ(server.cards.size(), 3u);
    auto hrefOf = [&](const std::string& name) {
        for (const auto& [href, stored] : server.cards)
            if (stored.card.find("FN:" + name) != std::string::npos) return href;
        return std::string();
    };
    // Another client edits 山田 and deletes 佐藤 while both change here.
    std::string yamada = hrefOf("山田太郎");
    server.store(yamada, card("山田太郎", "urn:uuid:1", "TEL:0311112222\r\nNOTE:theirs\r\n"));
    server.cards.erase(hrefOf("佐藤花子"));
    people[0] = person("山田太郎", "urn:uuid:1", "TEL:0311112222\r\nNOTE:ours\r\n");
    people[1] = person("佐藤花子", "urn:uuid:2", "TEL:0399999999\r\n");
    // … and its write to 鈴木 lands just before ours.
    people[2] = person("鈴木一郎", "urn:uuid:3", "TEL:0333334444\r\nNOTE:ours\r\n");
    std::string suzuki = hrefOf("鈴木一郎");
    server.beforeNextPut = [&] {
        server.store(suzuki, card("鈴木一郎", "urn:uuid:3", "TEL:0333334444\r\nNOTE:race\r\n"));
    };
    SyncPlan plan;
    SyncResult result = sync(people, folder.path(), server, &plan);
    EXPECT_EQ(plan.summary(), "新規 0 件、変更 1 件、競合 2 件");
    EXPECT_FALSE(result.inSync());
    EXPECT_EQ(result.conflicts.size(), 3u);
    EXPECT_NE(server.cards[yamada].card.find("NOTE:theirs"), std::string::npos);
    EXPECT_NE(server.cards[suzuki].card.find("NOTE:race"), std::string::npos);
    EXPECT_EQ(server.cards.size(), 2u);  // 佐藤 not made again
    // The race is a conflict at once: planned again, 鈴木 is asked about with the card the other
    // client wrote, and settled, ours goes.
    EXPECT_EQ(result.raced, std::vector<std::string>{"鈴木一郎"});
    SyncState state(folder.path(), "http://fake/book/");
    SyncPlan again = planSync(people, state, server);
    size_t raced = again.steps.size();
    for (size_t s = 0; s < again.steps.size(); ++s)
        if (again.steps[s].name == "鈴木一郎") raced = s;
    ASSERT_LT(raced, again.steps.size());
    EXPECT_EQ(again.steps[raced].kind, SyncStep::Kind::Conflict);
    EXPECT_NE(again.steps[raced].server.card.find("NOTE:race"), std::string::npos);
    resolveConflict(again, raced, Resolution::KeepOurs, people, state);
    runSync(again, people, state, server);
    EXPECT_NE(server.cards[suzuki].card.find("NOTE:ours"), std::string::npos);
}

TEST(SyncEngine, SyncCollectionReadsOnlyWhatChanged) {
    TempFolder folder;
    FakeServer server;
    server.offersSync = true;
    server.store("theirs.vcf", card("高橋一郎", "t-1", "TEL:0300000000\r\n"));
    std::vector<LocalPerson> people = {person("山田太郎", "urn:uuid:1", "TEL:0311112222\r\n"),
                                       person("佐藤花子", "urn:uuid:2", "TEL:0322223333\r\n")};
    ASSERT_EQ(sync(people, folder.path(), server).writes, 2);
    EXPECT_EQ(server.lists, 0);
    // Another client changes 山田 and deletes 佐藤; nothing changes here.
    std::string yamada, sato;
    for (const auto& [href, stored] : server.cards) {
        if (stored.card.find("山田") != std::string::npos) yamada = href;
        if (stored.card.find("佐藤") != std::string::npos) sato = href;
    }
    server.store(yamada, card("山田太郎", "urn:uuid:1", "TEL:0311112222\r\nNOTE:theirs\r\n"));
    server.erase(sato);
    int fetched = server.fetched;
    SyncPlan plan;
    SyncResult second = sync(people, folder.path(), server, &plan);
    EXPECT_EQ(server.fetched - fetched, 1);  // 山田's card alone
    EXPECT_EQ(second.writes, 0);
    EXPECT_EQ(plan.count(SyncStep::Kind::ServerChanged), 1u);
    EXPECT_EQ(second.deletedThere, std::vector<std::string>{"佐藤花子"});
    EXPECT_TRUE(second.inSync());
    // A person added here later is tied by the rule to the server's card it never sent.
    people.push_back(person("高橋一郎", "urn:uuid:3", "TEL:0300000000\r\nEMAIL:t@example.jp\r\n"));
    SyncResult third = sync(people, folder.path(), server);
    EXPECT_EQ(third.updated, std::vector<std::string>{"高橋一郎"});
    EXPECT_EQ(server.cards.size(), 2u);
    EXPECT_EQ(server.lists, 0);
}

TEST(SyncEngine, TheCardsOfEntriesMergedSinceAreRewrittenOrDeletedNeverOrphaned) {
    for (bool remove : {false, true}) {
        TempFolder folder;
        FakeServer server;
        std::vector<LocalPerson> people = {
            person("山田太郎", "urn:uuid:1", "TEL:0311112222\r\n"),
            person("山田太郎", "urn:uuid:2", "EMAIL:taro@example.jp\r\n")};
        ASSERT_EQ(sync(people, folder.path(), server).writes, 2);
        // Merged here: the person keeps the first UID and remembers the second.
        LocalPerson merged =
            person("山田太郎", "urn:uuid:1", "TEL:0311112222\r\nEMAIL:taro@example.jp\r\n");
        merged.mergedUids = {"urn:uuid:2"};
        SyncState state(folder.path(), "http://fake/book/");
        SyncPlan plan = planSync({merged}, state, server);
        EXPECT_EQ(plan.count(SyncStep::Kind::Absorbed), 1u);
        plan.deleteAbsorbed = remove;
        SyncResult result = runSync(plan, {merged}, state, server);
        EXPECT_TRUE(result.inSync()) << (result.failed.empty() ? "" : result.failed[0])
                                     << (result.conflicts.empty() ? "" : result.conflicts[0]);
        EXPECT_EQ(result.absorbed, std::vector<std::string>{"山田太郎"});
        EXPECT_EQ(server.cards.size(), remove ? 1u : 2u);
        for (const auto& [href, stored] : server.cards)
            EXPECT_NE(stored.card.find("taro@example.jp"), std::string::npos);
        EXPECT_EQ(sync({merged}, folder.path(), server).writes, 0);
    }
}

TEST(SyncEngine, AConflictSettledStaysSettled) {
    for (Resolution resolution :
         {Resolution::KeepOurs, Resolution::KeepTheirs, Resolution::KeepBoth}) {
        TempFolder folder;
        FakeServer server;
        std::vector<LocalPerson> people = {
            person("山田太郎", "urn:uuid:1", "TEL:0311112222\r\nNOTE:first\r\n")};
        ASSERT_EQ(sync(people, folder.path(), server).writes, 1);
        std::string href = server.cards.begin()->first;
        server.store(href, card("山田太郎", "urn:uuid:1",
                                "TEL:0311112222\r\nNOTE:theirs\r\nX-SOCIAL:keep\r\n"));
        people[0] = person("山田太郎", "urn:uuid:1", "TEL:0311112222\r\nNOTE:ours\r\n");
        SyncState state(folder.path(), "http://fake/book/");
        SyncPlan plan = planSync(people, state, server);
        ASSERT_EQ(plan.count(SyncStep::Kind::Conflict), 1u);
        resolveConflict(plan, 0, resolution, people, state);
        SyncResult result = runSync(plan, people, state, server);
        EXPECT_TRUE(result.inSync());
        const std::string& theirs = server.cards[href].card;
        if (resolution == Resolution::KeepOurs) {
            EXPECT_NE(theirs.find("NOTE:ours"), std::string::npos) << theirs;
            EXPECT_EQ(theirs.find("NOTE:theirs"), std::string::npos) << theirs;
            EXPECT_NE(theirs.find("X-SOCIAL:keep"), std::string::npos) << theirs;
        } else {
            EXPECT_NE(theirs.find("NOTE:theirs"), std::string::npos);
        }
        EXPECT_EQ(server.cards.size(), resolution == Resolution::KeepBoth ? 2u : 1u);
        // Asked once: the next run finds nothing to do.
        SyncResult again = sync(people, folder.path(), server);
        EXPECT_EQ(again.writes, 0);
        EXPECT_TRUE(again.inSync());
        EXPECT_TRUE(again.keptThere.empty());  // the server's card kept beside is no deletion
    }
}

TEST(SyncEngine, APersonDeletedHereGoesFromTheServerOnlyWhenTheUserSaysSo) {
    TempFolder folder;
    FakeServer server;
    std::vector<LocalPerson> people = threePeopleSynced(folder, server);
    ASSERT_EQ(server.cards.size(), 3u);
    // 佐藤 deleted here; 鈴木 deleted here too, but changed on the server since.
    std::string suzuki;
    for (const auto& [href, stored] : server.cards)
        if (stored.card.find("鈴木") != std::string::npos) suzuki = href;
    server.store(suzuki, card("鈴木一郎", "urn:uuid:3", "TEL:0333334444\r\nNOTE:theirs\r\n"));
    std::vector<LocalPerson> left = {people[0]};
    {
        SyncState state(folder.path(), "http://fake/book/");
        SyncPlan plan = planSync(left, state, server);
        EXPECT_EQ(plan.count(SyncStep::Kind::DeletedHere), 1u);
        EXPECT_EQ(plan.summary(), "新規 0 件、変更 0 件、競合 0 件、ここで削除 1 件");
        SyncResult kept = runSync(plan, left, state, server);
        EXPECT_EQ(kept.keptThere, std::vector<std::string>{"佐藤花子"});
        EXPECT_EQ(kept.writes, 0);
        EXPECT_EQ(server.cards.size(), 3u);
    }
    {
        // Asked, it goes, and only if it is still as it was synced.
        SyncState state(folder.path(), "http://fake/book/");
        SyncPlan plan = planSync(left, state, server);
        plan.deleteRemoved = true;
        SyncResult removed = runSync(plan, left, state, server);
        EXPECT_TRUE(removed.inSync());
        EXPECT_EQ(removed.deletedHere, std::vector<std::string>{"佐藤花子"});
        EXPECT_EQ(server.cards.size(), 2u);
        EXPECT_TRUE(server.cards.count(suzuki));
    }
    SyncResult again = sync(left, folder.path(), server);
    EXPECT_EQ(again.writes, 0);
    EXPECT_TRUE(again.keptThere.empty());
}

TEST(SyncEngine, ACardTheServerRefusesIsNamedAndTheRestGoesOn) {
    TempFolder folder;
    FakeServer server;
    server.refuse = {{"PHOTO", 413}, {"NOTE:locked", 403}};
    std::vector<LocalPerson> people = {
        person("山田太郎", "urn:uuid:1", "PHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\n"),
        person("佐藤花子", "urn:uuid:2", "NOTE:locked\r\n"),
        person("鈴木一郎", "urn:uuid:3", "TEL:0333334444\r\n")};
    SyncResult result = sync(people, folder.path(), server);
    EXPECT_EQ(result.failed, (std::vector<std::string>{"山田太郎（HTTP 413 refused）",
                                                       "佐藤花子（HTTP 403 refused）"}));
    EXPECT_EQ(result.created, std::vector<std::string>{"鈴木一郎"});
    EXPECT_FALSE(result.inSync());
    // Once the server takes them, they go; 鈴木 is not sent again.
    server.refuse.clear();
    SyncResult again = sync(people, folder.path(), server);
    EXPECT_EQ(again.created, (std::vector<std::string>{"山田太郎", "佐藤花子"}));
    EXPECT_EQ(server.cards.size(), 3u);
}

TEST(SyncEngine, TheStateSurvivesARunBrokenOffAfterAWrite) {
    TempFolder folder;
    FakeServer server;
    std::vector<LocalPerson> people = {person("山田太郎", "urn:uuid:1", "TEL:0311112222\r\n")};
    {
        SyncState state(folder.path(), "http://fake/book/");
        SyncPlan plan = planSync(people, state, server);
        // The write is made and journalled; the run ends before the state is saved.
        CardDavTransport::PutAnswer answer = server.putCard("a.vcf", people[0].card, "");
        state.journal({"a.vcf", answer.etag, "urn:uuid:1", "urn:uuid:1", cardFacts(people[0].card),
                       cardFacts(people[0].card)});
    }
    SyncResult again = sync(people, folder.path(), server);
    EXPECT_EQ(again.writes, 0);
    EXPECT_EQ(server.cards.size(), 1u);
}

TEST(CardFacts, ServersWordsAreTheSameFacts) {
    // Radicale's rewrite of one of our cards: parameters joined, lines reordered, case changed.
    std::string ours =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\nFN:山田太郎\r\nTEL;TYPE=CELL:090-1111-"
        "2222\r\nEMAIL;TYPE=INTERNET;TYPE=HOME:Taro@Example.jp\r\nNOTE:a\\,b\r\nORG:明治商会;\r\n"
        "UID:x\r\nEND:VCARD\r\n";
    std::string theirs =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:x\r\nEMAIL;TYPE=HOME,INTERNET:taro@example.jp\r\n"
        "FN:山田太郎\r\nN:山田;太郎;;;\r\nNOTE:a,b\r\nORG:明治商会\r\nPRODID:-//Radicale//\r\n"
        "TEL;TYPE=cell:09011112222\r\nEND:VCARD\r\n";
    EXPECT_EQ(cardFacts(ours), cardFacts(theirs));
    std::string home = ours;
    EXPECT_NE(cardFacts(ours), cardFacts(home.replace(home.find("CELL"), 4, "HOME")));
    EXPECT_EQ(foldedLine(std::string(80, 'a')),
              std::string(75, 'a') + "\r\n " + std::string(5, 'a') + "\r\n");
    // A character is never cut: 31 + 14 × 3 octets fit, the fifteenth goes on.
    EXPECT_EQ(foldedLine("NOTE:" + std::string(26, 'x') + "あいうえおかきくけこさしすせそ"),
              "NOTE:" + std::string(26, 'x') + "あいうえおかきくけこさしすせ\r\n そ\r\n");
}

}  // namespace
}  // namespace tsunagi
