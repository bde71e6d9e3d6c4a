#pragma once

// Every entry's lasting identity: a UID given once, when the entry is stored, that stays through
// every edit. An entry whose card brought a UID keeps that one (it stands among the lines the
// entry holds beyond the phone's); every other entry has one made from the store's own random
// seed and the entry's id, which the store never gives twice. A UID of this kind is a random
// (version 4) UUID as "urn:uuid:…", one form everywhere.

#include <cstdint>
#include <string>
#include <string_view>

#include "store/store.h"

namespace tsunagi {

// The store's seed: 32 hexadecimal digits, made from the system's random source the first time
// it is asked for and kept in the store from then on.
std::string identitySeed(Connection& connection);
// Sets the seed, for tests that need the same UIDs on every run.
void setIdentitySeed(Connection& connection, std::string_view seed);

// The UID of the entry `id` of a store with this seed: "urn:uuid:" and a version 4 UUID.
std::string entryUid(std::string_view seed, std::int64_t id);
// A fresh random UID of the same form.
std::string randomUid();

// Whether a UID is of the form this program makes ("urn:uuid:" and a UUID), upper or lower case.
bool isUuidUrn(std::string_view uid);
// The UUID of a UID in that form, lower case; "" for any other.
std::string uuidOf(std::string_view uid);

}  // namespace tsunagi
