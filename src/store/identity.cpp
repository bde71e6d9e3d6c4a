#include "store/identity.h"

#include <cctype>
#include <cstdio>
#include <random>

namespace tsunagi {
namespace {

std::uint64_t splitMix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

std::string uuidText(std::uint64_t high, std::uint64_t low) {
    // Version 4 in the third group, the RFC 4122 variant in the fourth.
    high = (high & ~0xF000ULL) | 0x4000ULL;
    low = (low & ~(0xC000ULL << 48)) | (0x8000ULL << 48);
    // urn:uuid:xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx, the 32 hex digits high word first.
    std::string text = "urn:uuid:";
    text.resize(9 + 36);
    size_t at = 9;
    for (int digit = 0; digit < 32; ++digit) {
        if (digit == 8 || digit == 12 || digit == 16 || digit == 20) text[at++] = '-';
        std::uint64_t word = digit < 16 ? high : low;
        text[at++] = "0123456789abcdef"[(word >> (60 - 4 * (digit % 16))) & 0xF];
    }
    return text;
}

std::uint64_t randomWord() {
    static thread_local std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

std::string identitySeed(Connection& connection) {
    connection.execute("CREATE TABLE IF NOT EXISTS store_identity (seed TEXT NOT NULL);");
    {
        Statement select = connection.prepare("select seed from store_identity limit 1;");
        if (select.step()) {
            std::optional<std::string> seed = select.text(0);
            if (seed && seed->size() == 32) return *seed;
        }
    }
    char text[40];
    std::snprintf(text, sizeof text, "%016llx%016llx",
                  static_cast<unsigned long long>(randomWord()),
                  static_cast<unsigned long long>(randomWord()));
    setIdentitySeed(connection, text);
    return text;
}

void setIdentitySeed(Connection& connection, std::string_view seed) {
    connection.execute(
        "CREATE TABLE IF NOT EXISTS store_identity (seed TEXT NOT NULL);"
        "DELETE FROM store_identity;");
    Statement insert = connection.prepare("insert into store_identity (seed) values (?);");
    insert.bind(1, seed);
    insert.step();
}

std::string entryUid(std::string_view seed, std::int64_t id) {
    std::uint64_t a = 0, b = 0;
    for (size_t i = 0; i < seed.size() && i < 32; ++i) {
        char c = seed[i];
        unsigned digit = std::isdigit(static_cast<unsigned char>(c))
                             ? static_cast<unsigned>(c - '0')
                             : static_cast<unsigned>((c | 0x20) - 'a' + 10) & 0xF;
        (i < 16 ? a : b) = ((i < 16 ? a : b) << 4) | digit;
    }
    auto n = static_cast<std::uint64_t>(id);
    return uuidText(splitMix(a ^ n), splitMix(b ^ (n * 0x9e3779b97f4a7c15ULL)));
}

std::string randomUid() { return uuidText(randomWord(), randomWord()); }

bool isUuidUrn(std::string_view uid) { return !uuidOf(uid).empty(); }

std::string uuidOf(std::string_view uid) {
    constexpr std::string_view kPrefix = "urn:uuid:";
    if (uid.size() != kPrefix.size() + 36) return "";
    for (size_t i = 0; i < kPrefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(uid[i])) != kPrefix[i]) return "";
    std::string uuid;
    for (size_t i = kPrefix.size(); i < uid.size(); ++i) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(uid[i])));
        size_t at = i - kPrefix.size();
        bool dash = at == 8 || at == 13 || at == 18 || at == 23;
        if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return "";
        uuid += c;
    }
    return uuid;
}

}  // namespace tsunagi
