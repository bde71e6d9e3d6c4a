#pragma once

// An entry as today's phones and services take it, for the vCard 3.0 and Google CSV writers.

#include <string>
#include <vector>

#include "card/card_view.h"
#include "store/entries.h"

namespace tsunagi {

// A person as today's phones take them: names split, readings in full-width katakana.
struct Person {
    std::string family, given, readingFamily, readingGiven, note;
    std::vector<NumberPiece> numbers;
    std::vector<MailPiece> mails;
};

Person personOf(const EntryRow& row);

// The name as a Japanese name is written: together when both parts are Japanese script.
std::string formattedName(const Person& person);

// A number keeps its digits; one that is no phone number is written as it stands.
std::string numberText(const std::string& number);

}  // namespace tsunagi
