// Text as a database of the Japanese edition of Jet compares it (its "Japanese" sort order):
// upper and lower case, half-width and full-width letters, digits and katakana, and hiragana
// and katakana are equal, a half-width kana with its voiced mark ("ｶﾞ") equal to the voiced kana
// ("ガ", "が"). Folded texts order by their code page 932 codes (symbols, digits, letters, kana in
// syllabary order, kanji in JIS order), characters outside it after those by code point.
//
// Text columns are declared COLLATE JET_JA, and every comparison the engine generates uses it;
// stored text is never changed by the folding. Pure functions, thread-safe (the tables behind
// them are built once, on first use).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace kr::db::engine {

inline constexpr char kTextCollation[] = "JET_JA";

// Registers the collation on a connection (needed by anything that reads or writes a text
// column of the engine's databases, raw SQLite connections included). SQLITE_OK or the error.
int RegisterTextCollation(sqlite3* db);

// <0, 0 or >0 as a sorts before, equal to or after b.
int CompareText(std::string_view a, std::string_view b);

// The folded text (UTF-8), voiced marks joined with their kana: equal texts fold alike.
std::string FoldText(std::string_view text);
// The length in bytes of the start of text that folds to what prefix folds to (a voiced mark
// after a kana counting with it), or nothing when text does not start so.
std::optional<size_t> FoldedPrefix(std::string_view text, std::string_view prefix);
// A Like pattern (jet_values.h) folded alike: its literal characters folded, the wildcards kept
// (a full-width "＊" becomes "[*]", still a literal).
std::string FoldLikePattern(std::string_view pattern);

}  // namespace kr::db::engine
