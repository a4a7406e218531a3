#include "storage/searchkey.h"

#include "entry/textrules.h"

#include <algorithm>

namespace storage {

namespace {

constexpr char16_t kFieldSeparator = u'\x1f';

bool isAsciiDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// Kanji written in more than one form, each folded to the one in use today,
// so 高橋 finds 髙橋 and 渡辺 finds 渡邊 and 渡邉. The pairs are the 旧字体,
// 印刷標準字体 and 異体字 (髙) rules of google/mozc's
// src/data/single_kanji/variant_rule.txt (BSD 3-Clause), each older or
// printed form to the form in use. Added to them, forms met in family names
// that list does not pair: 﨑 嵜 碕 (崎), 邉 (辺), 濵 (浜), 𠮷 (吉), 槗 (橋),
// 冨 (富), 嶋 嶌 (島), and 齊 斉 with 齋 (斎); these were not confirmed
// against a published table. Sorted by the variant, for a binary search.
constexpr KanjiVariant kKanjiVariants[] = {
    {U'乘', U'乗'}, {U'亂', U'乱'}, {U'亞', U'亜'}, {U'佛', U'仏'}, {U'來', U'来'}, {U'俠', U'侠'}, {U'倂', U'併'},
    {U'假', U'仮'}, {U'傳', U'伝'}, {U'僞', U'偽'}, {U'價', U'価'}, {U'儉', U'倹'}, {U'儘', U'侭'}, {U'兒', U'児'},
    {U'兩', U'両'}, {U'冨', U'富'}, {U'剝', U'剥'}, {U'剩', U'剰'}, {U'劍', U'剣'}, {U'劑', U'剤'}, {U'劵', U'券'},
    {U'勞', U'労'}, {U'勳', U'勲'}, {U'勵', U'励'}, {U'勸', U'勧'}, {U'區', U'区'}, {U'卷', U'巻'}, {U'卻', U'却'},
    {U'卽', U'即'}, {U'參', U'参'}, {U'啞', U'唖'}, {U'單', U'単'}, {U'噓', U'嘘'}, {U'嚴', U'厳'}, {U'囊', U'嚢'},
    {U'囑', U'嘱'}, {U'圈', U'圏'}, {U'國', U'国'}, {U'圍', U'囲'}, {U'圓', U'円'}, {U'圖', U'図'}, {U'團', U'団'},
    {U'埒', U'埓'}, {U'塡', U'填'}, {U'增', U'増'}, {U'墮', U'堕'}, {U'壓', U'圧'}, {U'壘', U'塁'}, {U'壞', U'壊'},
    {U'壤', U'壌'}, {U'壯', U'壮'}, {U'壹', U'壱'}, {U'壺', U'壷'}, {U'壽', U'寿'}, {U'奧', U'奥'}, {U'奬', U'奨'},
    {U'孃', U'嬢'}, {U'學', U'学'}, {U'寢', U'寝'}, {U'實', U'実'}, {U'寫', U'写'}, {U'寬', U'寛'}, {U'寶', U'宝'},
    {U'將', U'将'}, {U'專', U'専'}, {U'對', U'対'}, {U'屆', U'届'}, {U'屛', U'屏'}, {U'屬', U'属'}, {U'峽', U'峡'},
    {U'嵜', U'崎'}, {U'嶋', U'島'}, {U'嶌', U'島'}, {U'嶽', U'岳'}, {U'巢', U'巣'}, {U'帶', U'帯'}, {U'廢', U'廃'},
    {U'廣', U'広'}, {U'廰', U'庁'}, {U'廳', U'庁'}, {U'彈', U'弾'}, {U'彌', U'弥'}, {U'彎', U'弯'}, {U'徑', U'径'},
    {U'從', U'従'}, {U'徵', U'徴'}, {U'德', U'徳'}, {U'恆', U'恒'}, {U'惠', U'恵'}, {U'惡', U'悪'}, {U'惱', U'悩'},
    {U'愼', U'慎'}, {U'慘', U'惨'}, {U'應', U'応'}, {U'懷', U'懐'}, {U'戀', U'恋'}, {U'戰', U'戦'}, {U'戲', U'戯'},
    {U'戾', U'戻'}, {U'拂', U'払'}, {U'拔', U'抜'}, {U'拜', U'拝'}, {U'挾', U'挟'}, {U'插', U'挿'}, {U'揭', U'掲'},
    {U'搔', U'掻'}, {U'搖', U'揺'}, {U'搜', U'捜'}, {U'擇', U'択'}, {U'擊', U'撃'}, {U'擔', U'担'}, {U'據', U'拠'},
    {U'擧', U'挙'}, {U'擴', U'拡'}, {U'攝', U'摂'}, {U'攪', U'撹'}, {U'收', U'収'}, {U'效', U'効'}, {U'敍', U'叙'},
    {U'敕', U'勅'}, {U'數', U'数'}, {U'斉', U'斎'}, {U'斷', U'断'}, {U'晉', U'晋'}, {U'晚', U'晩'}, {U'晝', U'昼'},
    {U'曆', U'暦'}, {U'曉', U'暁'}, {U'曾', U'曽'}, {U'會', U'会'}, {U'條', U'条'}, {U'棧', U'桟'}, {U'榮', U'栄'},
    {U'槗', U'橋'}, {U'槪', U'概'}, {U'樂', U'楽'}, {U'樓', U'楼'}, {U'樞', U'枢'}, {U'樣', U'様'}, {U'橫', U'横'},
    {U'檜', U'桧'}, {U'檢', U'検'}, {U'檮', U'梼'}, {U'櫟', U'檪'}, {U'櫻', U'桜'}, {U'權', U'権'}, {U'歐', U'欧'},
    {U'歡', U'歓'}, {U'步', U'歩'}, {U'歷', U'歴'}, {U'歸', U'帰'}, {U'殘', U'残'}, {U'殼', U'殻'}, {U'毆', U'殴'},
    {U'每', U'毎'}, {U'氣', U'気'}, {U'沒', U'没'}, {U'涉', U'渉'}, {U'淚', U'涙'}, {U'淨', U'浄'}, {U'淺', U'浅'},
    {U'渴', U'渇'}, {U'溪', U'渓'}, {U'溫', U'温'}, {U'滯', U'滞'}, {U'滿', U'満'}, {U'潑', U'溌'}, {U'潛', U'潜'},
    {U'澁', U'渋'}, {U'澤', U'沢'}, {U'濕', U'湿'}, {U'濟', U'済'}, {U'濤', U'涛'}, {U'濱', U'浜'}, {U'濵', U'浜'},
    {U'濾', U'沪'}, {U'瀆', U'涜'}, {U'瀧', U'滝'}, {U'瀨', U'瀬'}, {U'灌', U'潅'}, {U'灣', U'湾'}, {U'焰', U'焔'},
    {U'燈', U'灯'}, {U'燒', U'焼'}, {U'營', U'営'}, {U'爐', U'炉'}, {U'爭', U'争'}, {U'爲', U'為'}, {U'犧', U'犠'},
    {U'狀', U'状'}, {U'狹', U'狭'}, {U'獨', U'独'}, {U'獵', U'猟'}, {U'獸', U'獣'}, {U'獻', U'献'}, {U'甁', U'瓶'},
    {U'畫', U'画'}, {U'當', U'当'}, {U'疊', U'畳'}, {U'癡', U'痴'}, {U'發', U'発'}, {U'盜', U'盗'}, {U'盡', U'尽'},
    {U'眞', U'真'}, {U'硏', U'研'}, {U'碎', U'砕'}, {U'碕', U'崎'}, {U'祕', U'秘'}, {U'禪', U'禅'}, {U'禮', U'礼'},
    {U'禰', U'祢'}, {U'禱', U'祷'}, {U'稱', U'称'}, {U'稻', U'稲'}, {U'穎', U'頴'}, {U'穗', U'穂'}, {U'穩', U'穏'},
    {U'穰', U'穣'}, {U'窗', U'窓'}, {U'竊', U'窃'}, {U'竝', U'並'}, {U'箏', U'筝'}, {U'簞', U'箪'}, {U'籠', U'篭'},
    {U'粹', U'粋'}, {U'絲', U'糸'}, {U'經', U'経'}, {U'綠', U'緑'}, {U'綫', U'線'}, {U'緖', U'緒'}, {U'緣', U'縁'},
    {U'縣', U'県'}, {U'縱', U'縦'}, {U'總', U'総'}, {U'繡', U'繍'}, {U'繩', U'縄'}, {U'繪', U'絵'}, {U'繫', U'繋'},
    {U'繼', U'継'}, {U'續', U'続'}, {U'纖', U'繊'}, {U'缺', U'欠'}, {U'罐', U'缶'}, {U'聲', U'声'}, {U'聽', U'聴'},
    {U'肅', U'粛'}, {U'腦', U'脳'}, {U'膽', U'胆'}, {U'臟', U'臓'}, {U'臺', U'台'}, {U'與', U'与'}, {U'舊', U'旧'},
    {U'艷', U'艶'}, {U'莊', U'荘'}, {U'莖', U'茎'}, {U'萊', U'莱'}, {U'萬', U'万'}, {U'蔣', U'蒋'}, {U'薰', U'薫'},
    {U'藏', U'蔵'}, {U'藝', U'芸'}, {U'藥', U'薬'}, {U'藪', U'薮'}, {U'蘆', U'芦'}, {U'處', U'処'}, {U'虛', U'虚'},
    {U'號', U'号'}, {U'螢', U'蛍'}, {U'蟬', U'蝉'}, {U'蟲', U'虫'}, {U'蠅', U'蝿'}, {U'蠟', U'蝋'}, {U'蠣', U'蛎'},
    {U'蠶', U'蚕'}, {U'蠻', U'蛮'}, {U'衞', U'衛'}, {U'裝', U'装'}, {U'襃', U'褒'}, {U'襍', U'雑'}, {U'覺', U'覚'},
    {U'覽', U'覧'}, {U'觀', U'観'}, {U'觸', U'触'}, {U'諫', U'諌'}, {U'謠', U'謡'}, {U'證', U'証'}, {U'譯', U'訳'},
    {U'譽', U'誉'}, {U'讀', U'読'}, {U'變', U'変'}, {U'讓', U'譲'}, {U'豐', U'豊'}, {U'豫', U'予'}, {U'貳', U'弐'},
    {U'賣', U'売'}, {U'賤', U'賎'}, {U'賴', U'頼'}, {U'贊', U'賛'}, {U'踐', U'践'}, {U'軀', U'躯'}, {U'輕', U'軽'},
    {U'轉', U'転'}, {U'辨', U'弁'}, {U'辭', U'辞'}, {U'辯', U'弁'}, {U'遞', U'逓'}, {U'遲', U'遅'}, {U'邇', U'迩'},
    {U'邉', U'辺'}, {U'邊', U'辺'}, {U'郞', U'郎'}, {U'鄕', U'郷'}, {U'醉', U'酔'}, {U'醫', U'医'}, {U'醬', U'醤'},
    {U'醱', U'醗'}, {U'釀', U'醸'}, {U'釋', U'釈'}, {U'錄', U'録'}, {U'錢', U'銭'}, {U'鍊', U'錬'}, {U'鎭', U'鎮'},
    {U'鐵', U'鉄'}, {U'鑄', U'鋳'}, {U'鑛', U'鉱'}, {U'關', U'関'}, {U'陷', U'陥'}, {U'隨', U'随'}, {U'險', U'険'},
    {U'隱', U'隠'}, {U'雙', U'双'}, {U'雜', U'雑'}, {U'霸', U'覇'}, {U'靈', U'霊'}, {U'靜', U'静'}, {U'靱', U'靭'},
    {U'頰', U'頬'}, {U'頸', U'頚'}, {U'顏', U'顔'}, {U'顚', U'顛'}, {U'顯', U'顕'}, {U'飜', U'翻'}, {U'飮', U'飲'},
    {U'餘', U'余'}, {U'饑', U'飢'}, {U'騷', U'騒'}, {U'驅', U'駆'}, {U'驒', U'騨'}, {U'驗', U'験'}, {U'驛', U'駅'},
    {U'髓', U'髄'}, {U'體', U'体'}, {U'髙', U'高'}, {U'髮', U'髪'}, {U'鬪', U'闘'}, {U'鬭', U'闘'}, {U'鰺', U'鯵'},
    {U'鶯', U'鴬'}, {U'鷄', U'鶏'}, {U'鷗', U'鴎'}, {U'鹼', U'鹸'}, {U'鹽', U'塩'}, {U'麥', U'麦'}, {U'麴', U'麹'},
    {U'黃', U'黄'}, {U'黑', U'黒'}, {U'默', U'黙'}, {U'點', U'点'}, {U'黨', U'党'}, {U'齊', U'斎'}, {U'齋', U'斎'},
    {U'齒', U'歯'}, {U'齡', U'齢'}, {U'龍', U'竜'}, {U'龜', U'亀'}, {U'﨑', U'崎'}, {U'𠮟', U'叱'}, {U'𠮷', U'吉'},
};

constexpr char32_t kFirstVariant = kKanjiVariants[0].variant;

char32_t foldedVariant(char32_t c)
{
    const auto* end = std::end(kKanjiVariants);
    const auto* found = std::lower_bound(std::begin(kKanjiVariants), end, c,
                                         [](const KanjiVariant& v, char32_t wanted) { return v.variant < wanted; });
    return found != end && found->variant == c ? found->folded : c;
}

// What compatibility normalisation and case folding leave as it is, but for
// A-Z: ASCII, hiragana, katakana and the common ideographs, nearly all that
// shops type and store.
bool keptByFolding(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x80 || (u >= 0x3041 && u <= 0x3096) || (u >= 0x30A1 && u <= 0x30FC) || (u >= 0x4E00 && u <= 0x9FFF);
}

} // namespace

QString searchKey(const QString& text)
{
    // Normalising costs more than the rest of the key; most text needs none.
    const bool plain = std::all_of(text.cbegin(), text.cend(), keptByFolding);
    const QString folded = plain ? text : text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    // Never longer than the folded text: each character keeps its length.
    QString key(folded.size(), Qt::Uninitialized);
    QChar* out = key.data();
    qsizetype length = 0;
    char32_t previous = 0;
    for (qsizetype i = 0; i < folded.size(); ++i) {
        char32_t c = folded.at(i).unicode();
        if (QChar::isSurrogate(c)) {
            const bool pair = QChar::isHighSurrogate(c) && i + 1 < folded.size() && folded.at(i + 1).isLowSurrogate();
            c = pair ? QChar::surrogateToUcs4(folded.at(i), folded.at(i + 1)) : char32_t(QChar::ReplacementCharacter);
            if (pair)
                ++i;
        }
        if (QChar::isSpace(c) || QChar::category(c) == QChar::Other_Control || entry::isDash(c))
            continue;
        if (c == U'\u30fc' && isAsciiDigit(previous))
            continue;
        char32_t kept = c;
        if (c >= U'A' && c <= U'Z')
            kept = c + (U'a' - U'A');
        if (c >= U'\u30a1' && c <= U'\u30f6') // katakana ァ..ヶ to hiragana ぁ..ゖ
            kept = c - 0x60;
        else if (c >= kFirstVariant)
            kept = foldedVariant(c);
        if (QChar::requiresSurrogates(kept)) {
            out[length++] = QChar(QChar::highSurrogate(kept));
            out[length++] = QChar(QChar::lowSurrogate(kept));
        } else {
            out[length++] = QChar(char16_t(kept));
        }
        previous = kept;
    }
    key.truncate(length);
    return key;
}

QString joinedSearchKey(const QStringList& fields)
{
    QStringList keys;
    keys.reserve(fields.size());
    for (const QString& field : fields)
        keys.append(searchKey(field));
    return keys.join(QChar(kFieldSeparator));
}

QString paddedSearchKey(const QStringList& fields)
{
    QString padded;
    for (const QString& field : fields)
        padded += searchKey(field) + QChar(kFieldSeparator);
    return padded + QChar(kFieldSeparator);
}

std::span<const KanjiVariant> kanjiVariants() { return kKanjiVariants; }

qsizetype searchKeyLength(const QString& key)
{
    qsizetype characters = 0;
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (key.at(i).isHighSurrogate() && i + 1 < key.size() && key.at(i + 1).isLowSurrogate())
            ++i;
        ++characters;
    }
    return characters;
}

} // namespace storage
