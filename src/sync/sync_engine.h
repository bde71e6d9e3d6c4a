#pragma once

// Syncs the working list with an address book on a CardDAV server (RFC 6352): each person once,
// tied by UID, on the first meeting also by the duplicate finder's "same" rule; only what
// changed is sent, every write conditional; a person changed on both sides is a conflict and
// never overwritten unasked; nothing on the server is deleted unless the user deleted that person
// here and says so, or merged that card's entry into another and says so. The network is behind
// `CardDavTransport`, so that the decisions here run against a fake in tests.

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "store/store.h"

namespace tsunagi {

// A card on the server.
struct ServerCard {
    std::string href;  // its path on the server, as the server names it
    std::string etag;
    std::string card;  // its vCard text
};

// The seam to the server.
class CardDavTransport {
  public:
    virtual ~CardDavTransport() = default;
    // Every card of the address book: its path and ETag.
    virtual std::map<std::string, std::string> listCards() = 0;
    // The cards at these paths (addressbook-multiget, in batches); a path gone is left out.
    virtual std::vector<ServerCard> fetchCards(const std::vector<std::string>& hrefs) = 0;
    struct PutAnswer {
        int status = 0;        // the HTTP status; 0 when the connection broke
        std::string etag;      // the new ETag, where the server said it
        std::string location;  // where the server put a new card, where it said so
        std::string error;     // the server's or the network's words on a failure
    };
    // What changed in the book since `token` (RFC 6578 sync-collection): the cards changed with
    // their ETags, the paths gone, and the token for next time; with an empty token (or one the
    // server no longer knows, `complete`) every card. None where the server does not offer it.
    struct Changes {
        std::map<std::string, std::string> changed;
        std::vector<std::string> removed;
        std::string token;
        bool complete = false;
    };
    virtual std::optional<Changes> changesSince(const std::string& /*token*/) {
        return std::nullopt;
    }
    // The path of a new card of this name in the book, as the listing names its cards.
    virtual std::string hrefFor(const std::string& name) { return name; }
    // Writes a card: with `ifMatch` its ETag (an update), else If-None-Match: * (a new card).
    virtual PutAnswer putCard(const std::string& href, const std::string& card,
                              const std::string& ifMatch) = 0;
    // Deletes a card if it is still as its ETag says.
    virtual PutAnswer deleteCard(const std::string& /*href*/, const std::string& /*ifMatch*/) {
        return {405, "", "", "DELETE is not offered"};
    }
};

// What one card of the address book was when last synced.
struct SyncRecord {
    std::string href, etag;
    std::string serverUid;                 // the UID on the server's card
    std::string localUid;                  // the UID of the person here
    std::vector<std::string> localFacts;   // of the person here, as sent
    std::vector<std::string> serverFacts;  // of the server's card after the write
};

// What is kept of an address book between runs, in a folder of its own: its URL and a record
// per card. Written whole at the end of a run, with a journal of each write appended as it is
// made, so that a run broken off loses nothing and the next sends nothing twice.
class SyncState {
  public:
    // Reads the state kept in `folder` for the book at `bookUrl`; none yet is an empty state.
    SyncState(std::string folder, std::string bookUrl);
    std::vector<SyncRecord> records;
    std::string token;  // the book's sync token after the last run (RFC 6578); "" when none
    // Appends one record as it now is to the journal (after a write).
    void journal(const SyncRecord& record);
    // Writes the whole state atomically and empties the journal.
    void save();
    const std::string& path() const { return path_; }

  private:
    std::string folder_, book_, path_, journalPath_;
};

// The folder a book's state is kept in, under `stateFolder`: one per book URL and user.
std::string stateFolderFor(const std::string& stateFolder, const std::string& bookUrl,
                           const std::string& user);

// A person of the working list as the sync sees them.
struct LocalPerson {
    std::string uid;
    std::vector<std::string> mergedUids;
    std::string name;  // as shown
    std::string card;  // vCard 3.0, UTF-8
};
// Every entry of the store as a person.
std::vector<LocalPerson> localPeople(const Store& store);

// What the sync will do with one person.
struct SyncStep {
    // Absorbed: the card of an entry merged into this person, written with the person's facts
    // or, where the user asks, deleted. DeletedHere: the card of a person synced before and
    // deleted here since, unchanged on the server: left there unless the user asks.
    enum class Kind { Create, Update, Conflict, ServerChanged, Unchanged, Absorbed, DeletedHere };
    Kind kind = Kind::Unchanged;
    std::string name;
    std::optional<size_t> local;   // the person here
    std::optional<size_t> record;  // the record of the server's card
    std::string body;              // what is sent
    ServerCard server;             // the server's card, where it was read
    std::string reason;            // why a conflict is one
};

struct SyncPlan {
    std::vector<SyncStep> steps;
    std::string token;            // the book's sync token as read, kept once the plan has run
    std::set<std::string> gone;   // the recorded cards no longer on the server
    bool deleteAbsorbed = false;  // the cards of merged entries are deleted, not rewritten
    bool deleteRemoved = false;   // the cards of people deleted here are deleted there too
    size_t count(SyncStep::Kind kind) const;
    // "新規 N 件、変更 N 件、競合 N 件", and "、ここで削除 N 件" where there are such
    std::string summary() const;
};

// Reads the server and decides; sends nothing.
SyncPlan planSync(const std::vector<LocalPerson>& people, SyncState& state,
                  CardDavTransport& transport);

// How the user settles a conflict: this one's card on the server, the server's left as it is,
// or both (ours then goes to the server as a new card beside it).
enum class Resolution { KeepOurs, KeepTheirs, KeepBoth };
// Settles the conflict of `plan.steps[step]`: the step becomes a write, or nothing, and the
// state remembers the choice so that the next run does not ask again.
void resolveConflict(SyncPlan& plan, size_t step, Resolution resolution,
                     const std::vector<LocalPerson>& people, SyncState& state);

struct SyncResult {
    std::vector<std::string> created, updated, conflicts, failed;  // names, with reasons
    std::vector<std::string> deletedThere;  // unchanged here, deleted on the server: left so
    std::vector<std::string> absorbed;      // cards of merged entries rewritten or deleted
    std::vector<std::string> deletedHere;   // deleted here, and on the server as asked
    std::vector<std::string> keptThere;     // deleted here, left on the server
    // Those another client wrote first (412): conflicts too, which a new plan now shows with
    // the server's card as it is.
    std::vector<std::string> raced;
    int writes = 0;
    bool inSync() const { return conflicts.empty() && failed.empty(); }
};

// Carries the plan out: creates, updates; conflicts are left as the server has them. Each write
// is journalled as it is made; the state saved at the end. `progress(done, total)` after each.
SyncResult runSync(const SyncPlan& plan, const std::vector<LocalPerson>& people, SyncState& state,
                   CardDavTransport& transport,
                   const std::function<void(size_t, size_t)>& progress = {});

}  // namespace tsunagi
