#include "card/unicode.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>

#include <array>
#include <memory>
#include <vector>

namespace tsunagi {

namespace {

bool hasHalfWidthKana(std::string_view utf8) {
    // U+FF61..U+FF9F are EF BD A1..EF BE 9F in UTF-8.
    for (size_t i = 0; i + 2 < utf8.size(); ++i)
        if (static_cast<unsigned char>(utf8[i]) == 0xEF) {
            unsigned char b = utf8[i + 1], c = utf8[i + 2];
            if ((b == 0xBD && c >= 0xA1) || (b == 0xBE && c <= 0x9F)) return true;
        }
    return false;
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The half-width kana (U+FF61..U+FF9F) at `i`, 0 for anything else.
char32_t halfKanaAt(std::string_view utf8, size_t i) {
    if (i + 2 >= utf8.size()) return 0;
    if (static_cast<unsigned char>(utf8[i]) != 0xEF) return 0;
    unsigned char b = utf8[i + 1], c = utf8[i + 2];
    if (b == 0xBD && c >= 0xA1 && c <= 0xBF) return 0xFF40 + (c - 0x80);
    if (b == 0xBE && c >= 0x80 && c <= 0x9F) return 0xFF80 + (c - 0x80);
    return 0;
}

// U+FF61..U+FF9F as the full-width characters they stand for; the lone voicing marks as the
// combining ones (U+3099, U+309A), as Unicode's width mappings have them.
constexpr char32_t kFullOfHalf[0x3F] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x3099, 0x309A};

// The katakana with the voicing mark (゛, or ゜ where `semi`), 0 where it takes none.
char32_t voicedKatakana(char32_t kana, bool semi) {
    bool hRow = kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0;  // ハヒフヘホ
    if (semi) return hRow ? kana + 2 : 0;
    if (hRow) return kana + 1;
    // カ…ト: the voiced form follows each (ッ and ツ break the step at ツ).
    static constexpr char32_t kVoiced[] = {0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,
                                           0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD,
                                           0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8};
    for (char32_t base : kVoiced)
        if (kana == base) return kana + 1;
    if (kana == 0x30A6) return 0x30F4;  // ヴ
    if (kana == 0x30EF) return 0x30F7;  // ヷ
    if (kana == 0x30F2) return 0x30FA;  // ヺ
    return 0;
}

// Each full-width katakana U+30A1..U+30FC as half-width: one or two characters (with its
// voicing mark); none where there is no half-width form (ヮ, ヰ, ヱ, ヵ, ヶ, ヸ, ヹ).
using HalfForm = std::array<char32_t, 2>;
const std::array<HalfForm, 0x30FC - 0x30A1 + 1>& halfOfFull() {
    static const auto table = [] {
        std::array<HalfForm, 0x30FC - 0x30A1 + 1> made{};
        for (char32_t half = 0xFF61; half <= 0xFF9D; ++half) {
            char32_t full = kFullOfHalf[half - 0xFF61];
            if (full < 0x30A1 || full > 0x30FC) continue;
            made[full - 0x30A1] = {half, 0};
            for (bool semi : {false, true})
                if (char32_t voiced = voicedKatakana(full, semi))
                    made[voiced - 0x30A1] = {half, semi ? 0xFF9Fu : 0xFF9Eu};
        }
        return made;
    }();
    return table;
}

}  // namespace

std::pair<char32_t, size_t> codePointAt(std::string_view text, size_t i) {
    unsigned char c = text[i];
    size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + length > text.size() || length == 1) return {c, 1};
    char32_t point = c & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) point = (point << 6) | (text[i + k] & 0x3F);
    return {point, length};
}

std::string fullWidthKatakana(std::string_view utf8) {
    if (!hasHalfWidthKana(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t half = halfKanaAt(utf8, i);
        if (!half) {
            out += utf8[i++];
            continue;
        }
        i += 3;
        char32_t full = kFullOfHalf[half - 0xFF61];
        // A voicing mark after the kana that takes it makes one character: ｶﾞ ガ, ﾊﾟ パ.
        char32_t mark = halfKanaAt(utf8, i);
        if (mark == 0xFF9E || mark == 0xFF9F) {
            if (char32_t voiced = voicedKatakana(full, mark == 0xFF9F)) {
                full = voiced;
                i += 3;
            }
        }
        appendUtf8(out, full);
    }
    return out;
}

std::string katakanaOf(std::string_view utf8) {
    // Hiragana U+3041..U+3096 are E3 81 81..E3 82 96; katakana lie 0x60 above them.
    std::string out(utf8);
    for (size_t i = 0; i + 2 < out.size(); ++i) {
        if (static_cast<unsigned char>(out[i]) != 0xE3) continue;
        auto b = static_cast<unsigned char>(out[i + 1]), c = static_cast<unsigned char>(out[i + 2]);
        char32_t code = 0x3000 | ((b & 0x3F) << 6) | (c & 0x3F);
        if (code >= 0x3041 && code <= 0x3096) {
            code += 0x60;
            out[i + 1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out[i + 2] = static_cast<char>(0x80 | (code & 0x3F));
        }
        i += 2;
    }
    return out;
}

std::string halfWidthKatakana(std::string_view utf8) {
    std::string katakana = katakanaOf(utf8);
    // Only when there is full-width kana: the phone's own readings come back as they are.
    bool fullWidthKana = false;
    for (size_t i = 0; i + 2 < katakana.size(); ++i)
        if (static_cast<unsigned char>(katakana[i]) == 0xE3 &&
            (static_cast<unsigned char>(katakana[i + 1]) == 0x82 ||
             static_cast<unsigned char>(katakana[i + 1]) == 0x83))
            fullWidthKana = true;
    if (!fullWidthKana) return katakana;
    std::string out;
    out.reserve(katakana.size());
    for (size_t i = 0; i < katakana.size();) {
        auto lead = static_cast<unsigned char>(katakana[i]);
        if (lead == 0xE3 && i + 2 < katakana.size()) {
            char32_t c = ((lead & 0x0F) << 12) |
                         ((static_cast<unsigned char>(katakana[i + 1]) & 0x3F) << 6) |
                         (static_cast<unsigned char>(katakana[i + 2]) & 0x3F);
            if (c >= 0x30A1 && c <= 0x30FC && halfOfFull()[c - 0x30A1][0]) {
                for (char32_t half : halfOfFull()[c - 0x30A1])
                    if (half) appendUtf8(out, half);
                i += 3;
                continue;
            }
        }
        out += katakana[i++];
    }
    return out;
}

bool isJapaneseScript(std::string_view utf8) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    if (text.isEmpty()) return false;
    for (int32_t i = 0; i < text.length();) {
        UChar32 c = text.char32At(i);
        i += U16_LENGTH(c);
        if (c == 0x30FC || c == 0xFF70 || c == 0x3005 || c == 0x30FB || c == 0xFF9E ||
            c == 0xFF9F || c == 0x309B || c == 0x309C || (c >= 0xFE00 && c <= 0xFE0F) ||
            (c >= 0xE0100 && c <= 0xE01EF))
            continue;  // ー, ｰ, 々, ・, the voicing marks, and a glyph's variation selector
        UErrorCode status = U_ZERO_ERROR;
        UScriptCode script = uscript_getScript(c, &status);
        if (script != USCRIPT_HAN && script != USCRIPT_HIRAGANA && script != USCRIPT_KATAKANA)
            return false;
    }
    return true;
}

bool hasJapaneseScript(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {  // no letter of these scripts
            ++i;
            continue;
        }
        auto [c, length] = codePointAt(utf8, i);
        bool whole = length > 1;  // a broken sequence is no character of any script
        for (size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
        i += whole ? length : 1;
        if (!whole) continue;
        UErrorCode status = U_ZERO_ERROR;
        UScriptCode script = uscript_getScript(static_cast<UChar32>(c), &status);
        if (script == USCRIPT_HAN || script == USCRIPT_HIRAGANA || script == USCRIPT_KATAKANA)
            return true;
    }
    return false;
}

namespace {

// Old and new forms of the kanji of names, as one person's name is written both ways.
constexpr std::pair<char32_t, char32_t> kKanjiForms[] = {
    {U'髙', U'高'}, {U'﨑', U'崎'}, {U'嵜', U'崎'}, {U'邊', U'辺'}, {U'邉', U'辺'}, {U'齋', U'斎'},
    {U'齊', U'斎'}, {U'斉', U'斎'}, {U'龍', U'竜'}, {U'峯', U'峰'}, {U'舘', U'館'}, {U'凜', U'凛'},
    {U'濵', U'浜'}, {U'濱', U'浜'}, {U'𠮷', U'吉'}, {U'澤', U'沢'}, {U'櫻', U'桜'}, {U'國', U'国'},
    {U'廣', U'広'}, {U'德', U'徳'}, {U'瀨', U'瀬'}, {U'嶋', U'島'}, {U'嶌', U'島'}, {U'槇', U'槙'},
    {U'實', U'実'}, {U'眞', U'真'}, {U'惠', U'恵'}, {U'榮', U'栄'}, {U'藏', U'蔵'}, {U'壽', U'寿'},
    {U'彌', U'弥'}, {U'禮', U'礼'}, {U'冨', U'富'}, {U'條', U'条'}, {U'淺', U'浅'}, {U'曾', U'曽'},
    {U'萬', U'万'}, {U'戶', U'戸'}, {U'圓', U'円'}, {U'增', U'増'}, {U'黑', U'黒'}, {U'龜', U'亀'},
    {U'驛', U'駅'}, {U'關', U'関'}, {U'桒', U'桑'}, {U'髮', U'髪'}, {U'靜', U'静'}, {U'學', U'学'}};

char32_t newKanjiForm(char32_t c) {
    // Most kanji are none of the old forms, as a bit of their low ten bits says at once.
    static const std::array<std::uint64_t, 16> kMaybeOld = [] {
        std::array<std::uint64_t, 16> bits{};
        for (const auto& form : kKanjiForms)
            bits[(form.first >> 6) & 15] |= std::uint64_t(1) << (form.first & 63);
        return bits;
    }();
    if (!(kMaybeOld[(c >> 6) & 15] >> (c & 63) & 1)) return c;
    for (const auto& [old, fresh] : kKanjiForms)
        if (c == old) return fresh;
    return c;
}

// How far a key goes: NFKC width folding, blanks and ";" out, Latin letters in lower case; then
// katakana as hiragana; then old kanji as new.
enum class KeyDepth { Name, Search, KanjiForms };

// The key by tables, for text of ASCII, kana of either width, full-width ASCII and the common
// kanji (U+4E00..U+9FFF, the unified ones of U+FA0E..U+FA29), where NFKC changes nothing but
// width; false for any other text, which ICU folds.
bool keyByTables(std::string_view utf8, KeyDepth depth, std::string& key) {
    // No character's key is longer than the character: the key is written into room for the
    // text, then cut to its length.
    key.resize(utf8.size());
    char* out = key.data();
    auto put = [&out](char32_t c) {
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    };
    const std::string_view text = utf8;
    for (size_t i = 0; i < text.size();) {
        auto byte = [&text](size_t at) { return static_cast<unsigned char>(text[at]); };
        unsigned char lead = byte(i);
        char32_t c;
        if (lead < 0x80) {
            c = lead;
            i += 1;
        } else if (char32_t half = halfKanaAt(text, i)) {
            // Half-width kana as full-width, a voicing mark after the kana that takes it one
            // character with it: ｶﾞ ガ, as NFKC makes them.
            i += 3;
            c = kFullOfHalf[half - 0xFF61];
            char32_t mark = halfKanaAt(text, i);
            if (mark == 0xFF9E || mark == 0xFF9F)
                if (char32_t voiced = voicedKatakana(c, mark == 0xFF9F)) {
                    c = voiced;
                    i += 3;
                }
        } else if (lead >= 0xE0 && lead < 0xF0 && i + 2 < text.size() &&
                   (byte(i + 1) & 0xC0) == 0x80 && (byte(i + 2) & 0xC0) == 0x80) {
            c = (lead & 0x0F) << 12 | (byte(i + 1) & 0x3F) << 6 | (byte(i + 2) & 0x3F);
            i += 3;
        } else {
            return false;
        }
        if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width ASCII
        if (c < 0x80) {
            if (c == ';' || c == ' ' || (c >= 0x09 && c <= 0x0D)) continue;
            if (c < 0x20 || c == 0x7F) return false;
            *out++ = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            continue;
        }
        if (c == 0x3000) continue;  // the ideographic blank
        bool kana = (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FE) || c == 0x3001 ||
                    c == 0x3002 || c == 0x300C || c == 0x300D;
        bool kanji = (c >= 0x4E00 && c <= 0x9FFF) ||
                     (c >= 0xFA0E && c <= 0xFA29 &&
                      std::u32string_view(U"\uFA0E\uFA0F\uFA11\uFA13\uFA14\uFA1F\uFA21\uFA23"
                                          U"\uFA24\uFA27\uFA28\uFA29")
                              .find(c) != std::u32string_view::npos);
        if (!kana && !kanji) return false;
        if (depth != KeyDepth::Name && c >= 0x30A1 && c <= 0x30F6) c -= 0x60;
        if (depth == KeyDepth::KanjiForms && kanji) c = newKanjiForm(c);
        put(c);
    }
    key.resize(static_cast<size_t>(out - key.data()));
    return true;
}

std::string nameKeyByIcu(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    icu::UnicodeString folded = U_SUCCESS(status) ? nfkc->normalize(text, status) : text;
    if (U_FAILURE(status)) folded = text;
    icu::UnicodeString key;
    for (int32_t i = 0; i < folded.length();) {
        UChar32 c = folded.char32At(i);
        i += U16_LENGTH(c);
        if (c == ';' || u_isUWhiteSpace(c)) continue;
        key.append(u_tolower(c));
    }
    return toUtf8(key);
}

std::string searchKeyByIcu(std::string_view utf8) {
    // The name key, with katakana as hiragana: ヤマダ, ﾔﾏﾀﾞ and やまだ find each other.
    icu::UnicodeString key = icu::UnicodeString::fromUTF8(nameKeyByIcu(utf8));
    for (int32_t i = 0; i < key.length(); ++i) {
        char16_t c = key.charAt(i);
        if (c >= 0x30A1 && c <= 0x30F6) key.setCharAt(i, static_cast<char16_t>(c - 0x60));
    }
    return toUtf8(key);
}

}  // namespace

std::string nameKey(std::string_view utf8) {
    std::string key;
    return keyByTables(utf8, KeyDepth::Name, key) ? key : nameKeyByIcu(utf8);
}

std::string searchKey(std::string_view utf8) {
    std::string key;
    return keyByTables(utf8, KeyDepth::Search, key) ? key : searchKeyByIcu(utf8);
}

}  // namespace tsunagi

namespace tsunagi {

std::string kanjiFormKey(std::string_view utf8) {
    std::string key;
    if (keyByTables(utf8, KeyDepth::KanjiForms, key)) return key;
    icu::UnicodeString searched = icu::UnicodeString::fromUTF8(searchKeyByIcu(utf8));
    icu::UnicodeString folded;
    for (int32_t i = 0; i < searched.length();) {
        UChar32 c = searched.char32At(i);
        i += U16_LENGTH(c);
        folded.append(static_cast<UChar32>(newKanjiForm(static_cast<char32_t>(c))));
    }
    return toUtf8(folded);
}

namespace {

// Full-width katakana U+30A1..U+30FA in Latin letters, as ICU's Katakana-Latin spells them
// (small kana and marks as their letters alone).
constexpr std::string_view kRomaji[0x30FA - 0x30A1 + 1] = {
    "a",  "a",  "i",   "i",   "u",   "u",   "e",   "e",   "o",  "o",  "ka", "ga", "ki", "gi", "ku",
    "gu", "ke", "ge",  "ko",  "go",  "sa",  "za",  "shi", "ji", "su", "zu", "se", "ze", "so", "zo",
    "ta", "da", "chi", "dji", "tsu", "tsu", "dzu", "te",  "de", "to", "do", "na", "ni", "nu", "ne",
    "no", "ha", "ba",  "pa",  "hi",  "bi",  "pi",  "fu",  "bu", "pu", "he", "be", "pe", "ho", "bo",
    "po", "ma", "mi",  "mu",  "me",  "mo",  "ya",  "ya",  "yu", "yu", "yo", "yo", "ra", "ri", "ru",
    "re", "ro", "wa",  "wa",  "wi",  "we",  "wo",  "n",   "vu", "ka", "ke", "va", "vi", "ve", "vo"};

// A kana and the small kana after it spelled as one syllable where that is not the two apart.
struct RomajiPair {
    char32_t kana, small;
    std::string_view letters;
    bool hiraganaOnly = false;  // ICU's Hiragana-Latin joins them, its Katakana-Latin not
};
constexpr RomajiPair kRomajiPairs[] = {
    {U'キ', U'ィ', "kyi"},       {U'キ', U'ェ', "kye"},       {U'キ', U'ャ', "kya"},
    {U'キ', U'ュ', "kyu"},       {U'キ', U'ョ', "kyo"},       {U'ギ', U'ィ', "gyi"},
    {U'ギ', U'ェ', "gye"},       {U'ギ', U'ャ', "gya"},       {U'ギ', U'ュ', "gyu"},
    {U'ギ', U'ョ', "gyo"},       {U'シ', U'ェ', "she"},       {U'シ', U'ャ', "sha"},
    {U'シ', U'ュ', "shu"},       {U'シ', U'ョ', "sho"},       {U'セ', U'ィ', "si"},
    {U'チ', U'ェ', "che"},       {U'チ', U'ャ', "cha"},       {U'チ', U'ュ', "chu"},
    {U'チ', U'ョ', "cho"},       {U'テ', U'ィ', "ti"},        {U'テ', U'ゥ', "tu"},
    {U'ニ', U'ィ', "nyi"},       {U'ニ', U'ェ', "nye"},       {U'ニ', U'ャ', "nya"},
    {U'ニ', U'ュ', "nyu"},       {U'ニ', U'ョ', "nyo"},       {U'ヒ', U'ィ', "hyi"},
    {U'ヒ', U'ェ', "hye"},       {U'ヒ', U'ャ', "hya"},       {U'ヒ', U'ュ', "hyu"},
    {U'ヒ', U'ョ', "hyo"},       {U'ビ', U'ィ', "byi"},       {U'ビ', U'ェ', "bye"},
    {U'ビ', U'ャ', "bya"},       {U'ビ', U'ュ', "byu"},       {U'ビ', U'ョ', "byo"},
    {U'ピ', U'ィ', "pyi"},       {U'ピ', U'ェ', "pye"},       {U'ピ', U'ャ', "pya"},
    {U'ピ', U'ュ', "pyu"},       {U'ピ', U'ョ', "pyo"},       {U'フ', U'ァ', "fa"},
    {U'フ', U'ィ', "fi"},        {U'フ', U'ェ', "fe"},        {U'フ', U'ォ', "fo"},
    {U'ヘ', U'ゥ', "hu"},        {U'ミ', U'ィ', "myi"},       {U'ミ', U'ェ', "mye"},
    {U'ミ', U'ャ', "mya"},       {U'ミ', U'ュ', "myu"},       {U'ミ', U'ョ', "myo"},
    {U'リ', U'ィ', "ryi"},       {U'リ', U'ェ', "rye"},       {U'リ', U'ャ', "rya"},
    {U'リ', U'ュ', "ryu"},       {U'リ', U'ョ', "ryo"},       {U'ジ', U'ェ', "je", true},
    {U'ジ', U'ャ', "ja", true},  {U'ジ', U'ュ', "ju", true},  {U'ジ', U'ョ', "jo", true},
    {U'ゼ', U'ィ', "zi", true},  {U'ヂ', U'ェ', "dje", true}, {U'ヂ', U'ャ', "dja", true},
    {U'ヂ', U'ュ', "dju", true}, {U'ヂ', U'ョ', "djo", true}, {U'デ', U'ィ', "di", true},
    {U'デ', U'ゥ', "du", true}};

// The kana whose consonant a ッ before it doubles (ッカ "kka", ッチ "tchi"); before any other,
// ッ is "tsu". ICU doubles voiced consonants too after っ in hiragana, never after ッ.
constexpr std::u32string_view kDoubledAfterSmallTsu =
    U"カキクケコサシスセソタチツテトナニヌネノハパヒピフプヘペホポマミムメモヤユヨラリルレロワヰヱ"
    U"ヲン";
constexpr std::u32string_view kDoubledAfterSmallHiraganaTsu =
    U"カガキギクグケゲコゴサザシジスズセゼソゾタダチヂツヅテデトドナニヌネノハバパヒビピフブプヘベ"
    U"ペ"
    U"ホボポマミムメモヤユヨラリルレロワヰヱヲン";

// The code points of UTF-8 text; a broken byte stands as itself.
std::u32string codePoints(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto [c, length] = codePointAt(utf8, i);
        out += c;
        i += length;
    }
    return out;
}

bool isKatakanaLetter(char32_t c) { return c >= 0x30A1 && c <= 0x30FA; }

// What ICU makes Latin letters of beyond kana and ASCII (é, ß, ﬁ, Ａ): its Latin-ASCII, made
// only when a name holds such a letter.
std::string latinLettersOf(std::u32string_view run) {
    thread_local const std::unique_ptr<icu::Transliterator> transliterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            "Halfwidth-Fullwidth; Latin-ASCII; Lower", UTRANS_FORWARD, status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    if (!transliterator) return "";
    icu::UnicodeString text = icu::UnicodeString::fromUTF32(
        reinterpret_cast<const UChar32*>(run.data()), static_cast<int32_t>(run.size()));
    transliterator->transliterate(text);
    return toUtf8(text);
}

}  // namespace

std::string romajiOf(std::string_view kana) {
    // Hiragana as katakana, remembered as hiragana: ICU spells each script apart, so that a
    // small kana or a ッ of one never joins a kana of the other. A combining voicing mark joins
    // the kana before it (カ゛ ガ); ICU then doubles after ッ as for the kana without it.
    std::u32string text = codePoints(fullWidthKatakana(kana));
    std::vector<bool> hiragana(text.size()), composed(text.size());
    size_t kept = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == 0x3095 || c == 0x3096) c = U'・';  // ゕ, ゖ: ICU spells them not at all
        bool hira = c >= 0x3041 && c <= 0x3094;
        if (hira) c += 0x60;
        if ((c == 0x3099 || c == 0x309A) && kept > 0)
            if (char32_t voiced = voicedKatakana(text[kept - 1], c == 0x309A)) {
                text[kept - 1] = voiced;
                composed[kept - 1] = true;
                continue;
            }
        hiragana[kept] = hira;
        composed[kept] = false;
        text[kept++] = c;
    }
    text.resize(kept);
    auto sameScript = [&hiragana](size_t i, size_t j) { return hiragana[i] == hiragana[j]; };
    // The syllable at `i` and how many characters it takes.
    auto syllable = [&](size_t i) -> std::pair<std::string_view, size_t> {
        if (i + 1 < text.size() && sameScript(i, i + 1))
            for (const RomajiPair& pair : kRomajiPairs)
                if (pair.kana == text[i] && pair.small == text[i + 1] &&
                    (hiragana[i] || !pair.hiraganaOnly))
                    return {pair.letters, 2};
        return {kRomaji[text[i] - 0x30A1], 1};
    };
    // The kana a ッ doubles, as it was before a combining mark joined it.
    auto doubled = [&](size_t i) {
        char32_t c = text[i];
        if (composed[i])
            for (char32_t base = c - 2; base < c; ++base)
                if (voicedKatakana(base, false) == c || voicedKatakana(base, true) == c) c = base;
        return (hiragana[i] ? kDoubledAfterSmallHiraganaTsu : kDoubledAfterSmallTsu).find(c) !=
               std::u32string_view::npos;
    };
    std::string latin;
    // The syllable before, which an iteration mark repeats (キャヽ "kyakya"; かゞ "kaga").
    std::string_view last;
    char32_t lastKana = 0;
    for (size_t i = 0; i < text.size();) {
        char32_t c = text[i];
        if (c == U'ヽ' || c == U'ヾ' || c == U'ゝ' || c == U'ゞ') {
            char32_t voiced = c == U'ゞ' && lastKana ? voicedKatakana(lastKana, false) : 0;
            latin += voiced ? kRomaji[voiced - 0x30A1] : last;
            ++i;
            continue;
        }
        if (c < 0x80) {
            latin += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            ++i;
        } else if (c == U'ッ' && i + 1 < text.size() && isKatakanaLetter(text[i + 1]) &&
                   sameScript(i, i + 1) && doubled(i + 1)) {
            std::string_view next = syllable(i + 1).first;
            latin += next.starts_with("ch") ? 't' : next.front();
            ++i;
        } else if (isKatakanaLetter(c)) {
            auto [letters, length] = syllable(i);
            latin += letters;
            // ICU repeats a small ッ's "tsu" as "su".
            last = c == U'ッ' ? letters.substr(1) : letters;
            lastKana = c;
            i += length;
        } else if (c < 0x3000 || (c >= 0xFB00 && c <= 0xFFEF && !(c >= 0xFF61 && c <= 0xFF9F))) {
            // Letters of other alphabets, which ICU may spell in ASCII.
            size_t end = i;
            while (end < text.size() && text[end] >= 0x80 &&
                   (text[end] < 0x3000 || (text[end] >= 0xFB00 && text[end] <= 0xFFEF)))
                ++end;
            latin += latinLettersOf(std::u32string_view(text).substr(i, end - i));
            i = end;
        } else {
            ++i;  // kanji, marks and the like spell nothing
        }
    }
    // Letters alone, long vowels as they are spelled in passports ("ō", "ou" and "oo" alike "o").
    std::string letters;
    for (char c : latin)
        if (c >= 'a' && c <= 'z' && !(c == 'u' && !letters.empty() && letters.back() == 'o') &&
            !(c == 'o' && !letters.empty() && letters.back() == 'o'))
            letters += c;
    return letters;
}

namespace {

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() > end.size() && text.ends_with(end);
}

bool startsWith(std::string_view text, std::string_view start) {
    return text.size() > start.size() && text.starts_with(start);
}

}  // namespace

std::string personNameKey(std::string_view utf8) {
    std::string key;
    personNameKey(utf8, key);
    return key;
}

void personNameKey(std::string_view utf8, std::string& key) {
    // Compared as folded: width (（株） as (株), ㈱ as (株)), kana as hiragana, old kanji as new.
    if (!keyByTables(utf8, KeyDepth::KanjiForms, key)) key = kanjiFormKey(utf8);
    static constexpr std::string_view kHonorifics[] = {"様",     "さま", "さん", "君", "くん",
                                                       "ちゃん", "先生", "殿",   "氏"};
    static constexpr std::string_view kCompanyForms[] = {"株式会社", "有限会社", "合同会社",
                                                         "(株)",     "(有)",     "(合)"};
    // The last bytes of the words taken off the end, and the first two of those taken off the
    // front: most names have neither.
    static const auto kEnds = [] {
        std::array<bool, 256> ends{};
        for (std::string_view word : kHonorifics)
            ends[static_cast<unsigned char>(word.back())] = true;
        for (std::string_view form : kCompanyForms)
            ends[static_cast<unsigned char>(form.back())] = true;
        return ends;
    }();
    auto startsLikeForm = [](std::string_view text) {
        for (std::string_view form : kCompanyForms)
            if (text.size() >= 2 && text[0] == form[0] && text[1] == form[1]) return true;
        return false;
    };
    std::string_view rest = key;
    for (bool changed = true; changed;) {
        changed = false;
        if (rest.empty() ||
            (!kEnds[static_cast<unsigned char>(rest.back())] && !startsLikeForm(rest)))
            break;
        // A word in parentheses at the end says where a number belongs: "(会社)", "(自宅)".
        if (rest.size() > 2 && rest.back() == ')') {
            size_t open = rest.rfind('(');
            bool company = false;
            for (std::string_view form : kCompanyForms)
                company = company || rest.compare(open == std::string_view::npos ? 0 : open,
                                                  std::string_view::npos, form) == 0;
            if (open != std::string_view::npos && open > 0 && !company &&
                rest.size() - open <= 26) {
                rest = rest.substr(0, open);
                changed = true;
            }
        }
        for (std::string_view honorific : kHonorifics)
            if (endsWith(rest, honorific)) {
                rest.remove_suffix(honorific.size());
                changed = true;
            }
        for (std::string_view form : kCompanyForms) {
            if (endsWith(rest, form)) {
                rest.remove_suffix(form.size());
                changed = true;
            }
            if (startsWith(rest, form)) {
                rest.remove_prefix(form.size());
                changed = true;
            }
        }
    }
    const size_t from = static_cast<size_t>(rest.data() - key.data()), size = rest.size();
    key.resize(from + size);
    key.erase(0, from);
}

}  // namespace tsunagi
