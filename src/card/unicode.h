#pragma once

// The Unicode work on names, done with ICU: readings for today's phones, Japanese script, and
// the key under which two spellings of one name are the same.

#include <string>
#include <string_view>
#include <utility>

namespace tsunagi {

// The code point at `i` of UTF-8 text and its length in bytes; a stray byte counts as itself.
std::pair<char32_t, size_t> codePointAt(std::string_view text, size_t i);

// Half-width katakana (ｶﾞ, ｯ, ｰ, ｡) as full-width (ガ, ッ, ー, 。); every other character stays.
std::string fullWidthKatakana(std::string_view utf8);

// Hiragana as katakana (やまだ → ヤマダ); every other character stays.
std::string katakanaOf(std::string_view utf8);

// Kana as the phone writes readings: hiragana and full-width katakana as half-width katakana
// (やまだ, ヤマダ → ﾔﾏﾀﾞ); every other character stays.
std::string halfWidthKatakana(std::string_view utf8);

// True when every character is kanji, hiragana or katakana (with their marks), so that a
// family and a given name are written together without a blank.
bool isJapaneseScript(std::string_view utf8);
// True when any character is kanji, hiragana or katakana: a name written in Japanese order,
// family name first ("山田 太郎(会社)", "林 修95").
bool hasJapaneseScript(std::string_view utf8);

// A name as compared for "the same person": NFKC width folding (ｽｽﾞｷ = スズキ, Ａ = A), blanks
// of every kind and the ";" between family and given name removed, Latin letters in lower case.
std::string nameKey(std::string_view utf8);

// The search key with the old forms of name kanji as their new ones (髙 as 高, 﨑 as 崎, 邊 as 辺),
// for finding one person written both ways.
std::string kanjiFormKey(std::string_view utf8);

// The name key of a person as entries of two books are compared: the kanji form key without
// what people write around a name (様, さん, 君, ちゃん, 先生, 殿, a word in parentheses at the
// end such as (会社) or (携帯)) and without a company's legal form (株式会社, (株), ㈱, 有限会社).
std::string personNameKey(std::string_view utf8);
// The same into `key`, whose room is kept from call to call.
void personNameKey(std::string_view utf8, std::string& key);

// Kana in Latin letters as a name is spelled in them ("ハセガワ", "はせがわ" → "hasegawa"), in
// lower case, long vowels shortened ("サトウ" → "sato"); other letters dropped.
std::string romajiOf(std::string_view kana);

// The key a search compares: the name key with katakana folded to hiragana, so that the kind
// of kana does not matter either.
std::string searchKey(std::string_view utf8);

}  // namespace tsunagi
