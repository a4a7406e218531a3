#pragma once
// The form in which stored texts are searched: what the user types and what
// was saved are both brought to it, so 「ﾔﾏﾀﾞ」, 「ヤマダ」 and 「やまだ」 find one
// another, and 「03-1234-5678」 is found by 「0312345678」.
#include <QString>
#include <QStringList>
#include <span>

namespace storage {

// Compatibility-folded (full-width digits and letters, half-width kana),
// case-folded, katakana as hiragana, variant forms of kanji as the form in
// use (髙 as 高, 邊 and 邉 as 辺), without spaces, control characters and
// hyphens; a long-vowel mark after a digit is a hyphen typed through the input
// method and goes too.
QString searchKey(const QString& text);

// The keys of several fields in one text. The separator never occurs in a
// key, so no match spans two fields.
QString joinedSearchKey(const QStringList& fields);
// The same, each field followed by the separator and the whole by one more,
// so that every character of every key begins a run of three characters (for
// finding keys of one or two characters through a trigram index).
QString paddedSearchKey(const QStringList& fields);

// The variant forms of kanji searchKey folds, each with the form it becomes,
// for making keys stored before it folded them again.
struct KanjiVariant {
    char32_t variant;
    char32_t folded;
};
std::span<const KanjiVariant> kanjiVariants();

// Characters (not UTF-16 units) in a key; the trigram index answers only keys
// of three or more.
qsizetype searchKeyLength(const QString& key);

} // namespace storage
