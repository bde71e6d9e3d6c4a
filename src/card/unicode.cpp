#include "card/unicode.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>

#include <memory>

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

}  // namespace

std::string fullWidthKatakana(std::string_view utf8) {
    if (!hasHalfWidthKana(utf8)) return std::string(utf8);
    // One transliterator to a thread, here and below: readers make keys on threads of their own.
    thread_local const std::unique_ptr<icu::Transliterator> transliterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        // Only the half-width katakana block: Latin letters and digits stay as they are.
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            "[\\uFF61-\\uFF9F] Halfwidth-Fullwidth", UTRANS_FORWARD, status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    if (!transliterator) return std::string(utf8);
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    transliterator->transliterate(text);
    return toUtf8(text);
}

std::string katakanaOf(std::string_view utf8) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    bool changed = false;
    for (int32_t i = 0; i < text.length(); ++i) {
        char16_t c = text.charAt(i);
        if (c >= 0x3041 && c <= 0x3096) {
            text.setCharAt(i, static_cast<char16_t>(c + 0x60));
            changed = true;
        }
    }
    return changed ? toUtf8(text) : std::string(utf8);
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
    thread_local const std::unique_ptr<icu::Transliterator> transliterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            "[\\u30A1-\\u30FC] Fullwidth-Halfwidth", UTRANS_FORWARD, status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    if (!transliterator) return katakana;
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(katakana);
    transliterator->transliterate(text);
    return toUtf8(text);
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
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    for (int32_t i = 0; i < text.length();) {
        UChar32 c = text.char32At(i);
        i += U16_LENGTH(c);
        UErrorCode status = U_ZERO_ERROR;
        UScriptCode script = uscript_getScript(c, &status);
        if (script == USCRIPT_HAN || script == USCRIPT_HIRAGANA || script == USCRIPT_KATAKANA)
            return true;
    }
    return false;
}

std::string searchKey(std::string_view utf8) {
    // The name key, with katakana as hiragana: ヤマダ, ﾔﾏﾀﾞ and やまだ find each other.
    icu::UnicodeString key = icu::UnicodeString::fromUTF8(nameKey(utf8));
    for (int32_t i = 0; i < key.length(); ++i) {
        char16_t c = key.charAt(i);
        if (c >= 0x30A1 && c <= 0x30F6) key.setCharAt(i, static_cast<char16_t>(c - 0x60));
    }
    return toUtf8(key);
}

std::string nameKey(std::string_view utf8) {
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

}  // namespace tsunagi

namespace tsunagi {

std::string kanjiFormKey(std::string_view utf8) {
    // Old and new forms of the kanji of names, as one person's name is written both ways.
    static constexpr std::pair<std::u32string_view, char32_t> kForms[] = {
        {U"髙", U'高'}, {U"﨑", U'崎'}, {U"嵜", U'崎'}, {U"邊", U'辺'}, {U"邉", U'辺'},
        {U"齋", U'斎'}, {U"齊", U'斎'}, {U"斉", U'斎'}, {U"龍", U'竜'}, {U"峯", U'峰'},
        {U"舘", U'館'}, {U"凜", U'凛'}, {U"濵", U'浜'}, {U"濱", U'浜'}, {U"𠮷", U'吉'},
        {U"澤", U'沢'}, {U"櫻", U'桜'}, {U"國", U'国'}, {U"廣", U'広'}, {U"德", U'徳'},
        {U"瀨", U'瀬'}, {U"嶋", U'島'}, {U"嶌", U'島'}, {U"槇", U'槙'}, {U"實", U'実'},
        {U"眞", U'真'}, {U"惠", U'恵'}, {U"榮", U'栄'}, {U"藏", U'蔵'}, {U"壽", U'寿'},
        {U"彌", U'弥'}, {U"禮", U'礼'}, {U"冨", U'富'}, {U"條", U'条'}, {U"淺", U'浅'},
        {U"曾", U'曽'}, {U"萬", U'万'}, {U"戶", U'戸'}, {U"圓", U'円'}, {U"增", U'増'},
        {U"黑", U'黒'}, {U"龜", U'亀'}, {U"驛", U'駅'}, {U"關", U'関'}, {U"桒", U'桑'},
        {U"髮", U'髪'}, {U"靜", U'静'}, {U"學", U'学'}};
    icu::UnicodeString key = icu::UnicodeString::fromUTF8(searchKey(utf8));
    icu::UnicodeString folded;
    for (int32_t i = 0; i < key.length();) {
        UChar32 c = key.char32At(i);
        i += U16_LENGTH(c);
        for (const auto& [old, fresh] : kForms)
            if (static_cast<char32_t>(c) == old[0]) c = static_cast<UChar32>(fresh);
        folded.append(c);
    }
    return toUtf8(folded);
}

std::string romajiOf(std::string_view kana) {
    thread_local const std::unique_ptr<icu::Transliterator> transliterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            "Halfwidth-Fullwidth; Hiragana-Latin; Katakana-Latin; Latin-ASCII; Lower",
            UTRANS_FORWARD, status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    if (!transliterator) return "";
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(kana.data(), static_cast<int32_t>(kana.size())));
    transliterator->transliterate(text);
    std::string latin = toUtf8(text), letters;
    // Long vowels as they are spelled in passports ("ō", "ou" and "oo" alike "o").
    for (char c : latin)
        if (c >= 'a' && c <= 'z' && !(c == 'u' && !letters.empty() && letters.back() == 'o') &&
            !(c == 'o' && !letters.empty() && letters.back() == 'o'))
            letters += c;
    return letters;
}

namespace {

bool endsWith(const std::string& text, std::string_view end) {
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool startsWith(const std::string& text, std::string_view start) {
    return text.size() > start.size() && text.compare(0, start.size(), start) == 0;
}

}  // namespace

std::string personNameKey(std::string_view utf8) {
    // Compared as folded: width (（株） as (株), ㈱ as (株)), kana as hiragana, old kanji as new.
    std::string key = kanjiFormKey(utf8);
    static constexpr std::string_view kHonorifics[] = {"様",     "さま", "さん", "君", "くん",
                                                       "ちゃん", "先生", "殿",   "氏"};
    static constexpr std::string_view kCompanyForms[] = {"株式会社", "有限会社", "合同会社",
                                                         "(株)",     "(有)",     "(合)"};
    for (bool changed = true; changed;) {
        changed = false;
        // A word in parentheses at the end says where a number belongs: "(会社)", "(自宅)".
        if (key.size() > 2 && key.back() == ')') {
            size_t open = key.rfind('(');
            bool company = false;
            for (std::string_view form : kCompanyForms)
                company = company || key.compare(open == std::string::npos ? 0 : open,
                                                 std::string::npos, form) == 0;
            if (open != std::string::npos && open > 0 && !company && key.size() - open <= 26) {
                key.erase(open);
                changed = true;
            }
        }
        for (std::string_view honorific : kHonorifics)
            if (endsWith(key, honorific)) {
                key.erase(key.size() - honorific.size());
                changed = true;
            }
        for (std::string_view form : kCompanyForms) {
            if (endsWith(key, form)) {
                key.erase(key.size() - form.size());
                changed = true;
            }
            if (startsWith(key, form)) {
                key.erase(0, form.size());
                changed = true;
            }
        }
    }
    return key;
}

}  // namespace tsunagi
