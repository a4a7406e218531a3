#pragma once
// Random Japanese addresses for the benchmarks: names, postal codes, two
// address lines and telephone numbers drawn from common values, so that
// searches meet realistic numbers of matches.
#include "waybill/waybill.h"

#include <QRandomGenerator>

namespace bench {

inline const char* const kSurnames[] = {
    "佐藤", "鈴木", "高橋", "田中", "伊藤",   "渡辺", "山本", "中村", "小林", "加藤", "吉田", "山田", "佐々木", "山口",
    "松本", "井上", "木村", "林",   "斎藤",   "清水", "山崎", "森",   "池田", "橋本", "阿部", "石川", "山下",   "中島",
    "石井", "小川", "前田", "岡田", "長谷川", "藤田", "後藤", "近藤", "村上", "遠藤", "青木", "坂本", "斉藤",   "福田",
    "太田", "西村", "藤井", "金子", "岡本",   "藤原", "中野", "三浦", "原田", "中川", "松田", "竹内", "小野",   "田村",
    "中山", "和田", "石田", "森田", "上田",   "原",   "内田", "柴田", "酒井", "宮崎", "横山", "高木", "安藤",   "宮本",
    "大野", "小島", "谷口", "今井", "工藤",   "高田", "増田", "丸山", "杉山", "村田", "大塚", "新井", "小山",   "平野"};
inline const char* const kGivenNames[] = {"太郎",   "花子",   "一郎",   "次郎", "美咲", "翔太", "陽菜",  "大輝", "結衣",
                                          "健太",   "さくら", "蓮",     "葵",   "悠真", "凛",   "湊",    "結菜", "大和",
                                          "芽依",   "陽翔",   "ひまり", "樹",   "美月", "颯太", "莉子",  "拓海", "優奈",
                                          "悠斗",   "彩",     "直樹",   "恵子", "誠",   "裕子", "隆",    "明美", "浩",
                                          "由美子", "実",     "洋子",   "茂",   "幸子", "ミキ", "ユウコ"};
inline const char* const kPrefectures[] = {"北海道", "宮城県", "埼玉県", "千葉県", "東京都", "神奈川県",
                                           "新潟県", "長野県", "静岡県", "愛知県", "京都府", "大阪府",
                                           "兵庫県", "広島県", "福岡県", "沖縄県"};
inline const char* const kCities[] = {"中央区",     "北区",         "南区",     "港区",     "緑区",   "青葉区",
                                      "千代田区",   "新宿区",       "渋谷区",   "世田谷区", "市川市", "船橋市",
                                      "横浜市西区", "川崎市中原区", "相模原市", "藤沢市"};
inline const char* const kTowns[] = {"本町",   "栄町",   "旭町",   "幸町", "緑町",
                                     "桜木町", "若松町", "大手町", "錦町", "寿町"};
inline const char* const kBuildings[] = {"ハイツ", "コーポ", "メゾン", "レジデンス", "マンション", "パレス"};

template <typename T, size_t N>
inline QString pick(QRandomGenerator& random, T (&table)[N])
{
    return QString::fromUtf8(table[random.bounded(int(N))]);
}

inline waybill::Address randomAddress(QRandomGenerator& random)
{
    waybill::Address a;
    a.name = pick(random, kSurnames) + QStringLiteral("　") + pick(random, kGivenNames);
    a.postalCode = QStringLiteral("%1%2")
                       .arg(random.bounded(1000), 3, 10, QLatin1Char('0'))
                       .arg(random.bounded(10000), 4, 10, QLatin1Char('0'));
    a.line1 =
        pick(random, kPrefectures) + pick(random, kCities) + pick(random, kTowns) +
        QStringLiteral("%1-%2-%3").arg(random.bounded(1, 10)).arg(random.bounded(1, 30)).arg(random.bounded(1, 20));
    if (random.bounded(2))
        a.line2 =
            pick(random, kBuildings) + pick(random, kSurnames) + QStringLiteral("%1号室").arg(random.bounded(101, 999));
    a.telephone = QStringLiteral("0%1-%2-%3")
                      .arg(random.bounded(10, 100))
                      .arg(random.bounded(10000), 4, 10, QLatin1Char('0'))
                      .arg(random.bounded(10000), 4, 10, QLatin1Char('0'));
    return a;
}

} // namespace bench
