#include "tracking/carriers.h"

namespace tracking {

const QList<CarrierRow>& carrierRows()
{
    static const QList<CarrierRow> rows = {
        // 12 digits, last = first 11 mod 7 ("7DR"). Worked example
        // 1234-5678-9013 at http://nanoappli.com/blog/archives/369 and
        // https://gyomu.org/faq/view/7dr; github.com/TakamoriYamashiro/shipping-jp-js
        // (README, src/js/Shipping.js checkdigit7DR); 36 published numbers in
        // github.com/nayutaya/packtrack tracker/yamato/package/list_page_parser_test.py
        // all pass.
        {Carrier::Yamato, u"yamato", u"ヤマト運輸", 12, CheckRule::SerialMod7, true},
        // 12 digits, 7DR: shipping-jp-js README ("ヤマト、佐川、日本郵政 : 7DR") and
        // checkdigitSagawa; all 101 numbers in packtrack
        // tracker/sagawa/package/fixtures/numbers.txt pass. 10-digit Sagawa
        // numbers appear only in one guessing heuristic, not confirmed: such a
        // form is entered as その他.
        {Carrier::Sagawa, u"sagawa", u"佐川急便", 12, CheckRule::SerialMod7, true},
        // ゆうパック: 12 digits, 7DR: packtrack tracker/jppost/package/tracking_number.py
        // (^[0-9]{12}$, check = body % 7) and shipping-jp-js checkdigitYubin;
        // all 26 numbers in packtrack tracker/jppost/package/fixtures/numbers.txt pass.
        {Carrier::JapanPost, u"japanpost", u"日本郵便 (ゆうパック)", 12, CheckRule::SerialMod7, true},
        // No public source states the length or a check digit of 西濃運輸's
        // numbers, nor that they are digits only or that the forms of a stack
        // are numbered one by one.
        {Carrier::Seino, u"seino", u"西濃運輸", 0, CheckRule::None, false},
        // Likewise for 福山通運: none of these confirmed.
        {Carrier::Fukuyama, u"fukuyama", u"福山通運", 0, CheckRule::None, false},
        // Any other carrier, or a form whose numbers follow none of the rules above.
        {Carrier::Other, u"other", u"その他", 0, CheckRule::None, false},
    };
    return rows;
}

const CarrierRow& carrierRow(Carrier carrier)
{
    for (const CarrierRow& row : carrierRows())
        if (row.carrier == carrier)
            return row;
    Q_UNREACHABLE();
    return carrierRows().back();
}

QString carrierToken(Carrier carrier) { return QString::fromUtf16(carrierRow(carrier).token); }

QString carrierName(Carrier carrier) { return QString::fromUtf16(carrierRow(carrier).name); }

QString carrierTokenChoices()
{
    QStringList tokens;
    for (const CarrierRow& row : carrierRows())
        tokens << QString::fromUtf16(row.token);
    return tokens.join(QLatin1Char('|'));
}

Result<Carrier> carrierFromToken(const QString& token)
{
    const QString word = token.trimmed();
    for (const CarrierRow& row : carrierRows())
        if (word.compare(QString::fromUtf16(row.token), Qt::CaseInsensitive) == 0)
            return row.carrier;
    return fail(QStringLiteral("運送会社「%1」は選べません。%2 のどれかを指定してください。")
                    .arg(word, carrierTokenChoices().replace(QLatin1Char('|'), QStringLiteral(", "))));
}

bool hasConfirmedRule(Carrier carrier) { return carrierRow(carrier).checkRule != CheckRule::None; }

QString consecutiveAssumption(Carrier carrier, const QString& first, const QString& last)
{
    if (hasConfirmedRule(carrier))
        return {};
    const QString range = first == last ? first : QStringLiteral("%1～%2").arg(first, last);
    return QStringLiteral("%1の伝票は番号の付き方が確かめられていないため、束の2枚目からの番号は1ずつ増えると仮定して"
                          "記録しました（%2）。伝票に印刷された番号と見比べてください。")
        .arg(carrier == Carrier::Other ? QStringLiteral("「その他」") : carrierName(carrier), range);
}

QString ruleDescription(Carrier carrier)
{
    const CarrierRow& row = carrierRow(carrier);
    switch (row.checkRule) {
    case CheckRule::SerialMod7:
        return QStringLiteral("%1の伝票番号は%2桁で、最後の1桁はチェック数字（その前の%3桁を7で割った余り）です。")
            .arg(carrierName(carrier))
            .arg(row.digitCount)
            .arg(row.digitCount - 1);
    case CheckRule::None:
        break;
    }
    if (carrier == Carrier::Other)
        return QStringLiteral("「その他」の伝票番号は、桁数もチェック数字も確かめずに受け付けます。");
    return QStringLiteral("%1の伝票番号は桁数とチェック数字の決まりが確かめられていないため、確かめずに受け付けます。")
        .arg(carrierName(carrier));
}

} // namespace tracking
