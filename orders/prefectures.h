#pragma once
// Japan's 47 prefectures as order lists write them: as their kanji names
// (with or without 都, 府 or 県), as ISO 3166-2:JP codes (JP-13), or
// romanised (Tokyo, Tōkyō, Tôkyô, Osaka-fu, Hokkaido Prefecture). A waybill
// prints them in kanji only.
#include <QString>
#include <QStringView>
#include <optional>

namespace orders {

// The kanji name of the prefecture `text` names in any of those ways
// (東京都 for "JP-13", "jp-13", "Tokyo", "TOKYO-TO", "Tōkyō", "東京");
// nothing for any other text.
std::optional<QString> prefectureName(QStringView text);

// The prefecture an address is written from, in kanji: the one its start
// names in kanji; empty when it starts with none.
QString prefectureAtStart(QStringView address);

// An address that starts with a romanised prefecture, or a code, before
// the rest in Japanese ("Tokyo千代田区…", "Osaka-fu 大阪市…") with the
// prefecture's kanji name in its place; any other address as it is.
QString withKanjiPrefecture(const QString& address);

// The Latin letters an address starts with before its Japanese text
// ("Tokio" of "Tokio千代田区…"): what would print in Latin letters where
// the prefecture belongs. Empty when it starts otherwise, or has no
// Japanese text at all.
QString latinStart(QStringView address);

} // namespace orders
