#pragma once

// What a card says, as facts to compare, and a server's card with this program's facts merged
// in. Servers rewrite what they store (parameters reordered, types split, lines folded anew,
// their own PRODID and REV), so two cards are compared by their facts, never by their bytes.

#include <string>
#include <string_view>
#include <vector>

#include "card/vcard_line.h"

namespace tsunagi {

// A card's content lines, unfolded and taken apart, BEGIN and END left out; `raw`, when given,
// gets each as written (unfolded), so that a line kept is kept in its writer's spelling.
std::vector<VcardLine> cardLines(std::string_view card, std::vector<std::string>* raw = nullptr);

// One line's fact: its property (without group) and value as compared: a number by its digits,
// a mail in lower case, text unescaped; the types of a number, mail or address beside it.
// "" for lines that say nothing of the person (VERSION, PRODID, REV, UID).
std::string lineFact(const VcardLine& line);

// A card's facts, sorted, each once.
std::vector<std::string> cardFacts(std::string_view card);

// What the same-person rule looks at.
struct CardSummary {
    std::string uid;
    std::string name;                         // folded as names are compared (personNameKey)
    std::vector<std::string> numbers, mails;  // digits; lower case
};
CardSummary summaryOf(std::string_view card);
CardSummary summaryOfFacts(const std::vector<std::string>& facts);

// Whether two cards are one person by the rule the duplicate finder's "same" follows: one name,
// and a number or mail in common, or nothing that conflicts (never both with numbers and none
// shared, nor both with mails and none shared). A card without number or mail is one person
// with a namesake only where `lone` (no other card of that name).
bool samePerson(const CardSummary& a, const CardSummary& b);

// The server's card `server` with this program's card `ours` merged in: every fact of ours,
// the server's own line kept where it says the same (its group, label and parameters stay);
// what the server holds that this program does not model (photo, labels, social profiles,
// groups) kept; a fact of the server's that `base` (the facts of ours when last synced) held
// and ours no longer holds dropped, one it added since kept. The server's UID stays.
std::string mergedCard(std::string_view server, std::string_view ours,
                       const std::vector<std::string>& base);

// A content line as vCard writes it, folded at 75 octets, with CR LF.
std::string foldedLine(std::string_view line);
// A taken-apart line written back.
std::string lineText(const VcardLine& line);

}  // namespace tsunagi
