#include "print/glyphs.h"

#include "platform/fonts.h"
#include "print/printjob.h"

#include <QFont>
#include <QRawFont>

namespace print {

namespace {

struct PrintedText {
    QString caption;
    QString text;
};

std::vector<PrintedText> printedTexts(const waybill::Waybill& w)
{
    std::vector<PrintedText> texts;
    for (const auto& [block, a] : {std::pair(QStringLiteral("お届け先"), &w.recipient), std::pair(QStringLiteral("ご依頼主"), &w.sender)}) {
        const QString of = block + QStringLiteral("の");
        texts.push_back({of + QStringLiteral("郵便番号"), a->postalCode});
        texts.push_back({of + QStringLiteral("住所1"), a->line1});
        texts.push_back({of + QStringLiteral("住所2"), a->line2});
        texts.push_back({of + QStringLiteral("名前"), a->name});
        if (a->careOfShown)
            texts.push_back({of + QStringLiteral("様方"), a->careOf});
        texts.push_back({of + QStringLiteral("電話番号"), a->telephone});
    }
    for (size_t line = 0; line < w.goods.size(); ++line) {
        const QString n = QString::number(line + 1);
        const waybill::GoodsLine& g = w.goods[line];
        texts.push_back({QStringLiteral("品名") + n, g.description});
        texts.push_back({QStringLiteral("商品番号") + n, g.productNumber});
        if (w.numericMode) {
            texts.push_back({QStringLiteral("数量") + n, g.quantity});
            texts.push_back({QStringLiteral("単価") + n, g.unitPrice});
            texts.push_back({QStringLiteral("金額") + n, g.amount});
        }
    }
    if (w.numericMode)
        texts.push_back({QStringLiteral("合計"), w.total});
    return texts;
}

// Characters drawn as nothing of their own: control and format characters,
// and variation selectors, which choose a form of the character before them
// and leave it as it is where the face has no such form.
bool isInvisible(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format || (c >= 0xFE00 && c <= 0xFE0F) ||
           (c >= 0xE0100 && c <= 0xE01EF);
}

} // namespace

std::vector<MissingGlyphs> findMissingGlyphs(const waybill::Waybill& waybill)
{
    // The face's own file: font metrics would answer for the fallback faces
    // that draw what the face lacks.
    static const QRawFont face = QRawFont::fromFont(QFont(platform::installedFace(kPrinterFontName)));
    std::vector<MissingGlyphs> found;
    for (const PrintedText& printed : printedTexts(waybill)) {
        MissingGlyphs missing{printed.caption, {}};
        for (const char32_t c : printed.text.toUcs4()) {
            if (QChar::isSpace(c) || isInvisible(c) || face.supportsCharacter(c))
                continue;
            const QString character = QString::fromUcs4(&c, 1);
            if (!missing.characters.contains(character))
                missing.characters += character;
        }
        if (!missing.characters.isEmpty())
            found.push_back(std::move(missing));
    }
    return found;
}

} // namespace print
