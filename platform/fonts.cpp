#include "platform/fonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QLibraryInfo>
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <algorithm>
#include <optional>

namespace platform {

namespace {
// The IPA faces lack some ideographs family names are written with, such as
// 𠮷 (U+20BB7); Noto Sans CJK JP (fonts-noto-cjk, a dependency of the
// package) has them.
const QString kBeyondJisFace = QStringLiteral("Noto Sans CJK JP");
} // namespace

void installFontSubstitutions()
{
    // IPAPGothic has the metrics of the proportional gothic face the window
    // and the waybill were laid out with.
    const QStringList faces{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), kBeyondJisFace};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), faces);  // window font
    QFont::insertSubstitutions(QStringLiteral("ＭＳ　P ゴシック"), faces); // printer font
    // Half-width digits half an em wide, for the window's number boxes.
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), {QStringLiteral("IPAGothic"), kBeyondJisFace});
}

QFont printFont(const QString& installedFamily)
{
    // Named as the face to look in first for a glyph the print's face
    // lacks. The window's fonts name one face only: a font naming a second
    // one has Qt ask fontconfig for a fallback list, script by script, as
    // soon as it is used, which costs the window's first paint a tenth of
    // its time; Qt asks only when a glyph is missing for those.
    QFont font;
    font.setFamilies(installedFamily == kBeyondJisFace ? QStringList{installedFamily}
                                                       : QStringList{installedFamily, kBeyondJisFace});
    return font;
}

QString installedFace(const QString& layoutName)
{
    static QHash<QString, QString> known;
    auto it = known.constFind(layoutName);
    if (it != known.constEnd())
        return *it;
    // Looked for among the installed families rather than asked of
    // fontconfig's aliases (QFontDatabase::hasFamily): resolving a name no
    // face carries runs every substitution rule, which costs more than
    // building the whole window.
    const QStringList installed = QFontDatabase::families();
    const auto installedSpelling = [&](const QString& name) -> std::optional<QString> {
        // Qt keeps substitutes in lower case; the face keeps its own spelling.
        const auto at = std::find_if(installed.begin(), installed.end(), [&](const QString& family) {
            return family.compare(name, Qt::CaseInsensitive) == 0;
        });
        return at == installed.end() ? std::nullopt : std::optional(*at);
    };
    QString face = layoutName;
    if (!installedSpelling(layoutName))
        for (const QString& substitute : QFont::substitutes(layoutName))
            if (const auto spelled = installedSpelling(substitute)) {
                face = *spelled;
                break;
            }
    known.insert(layoutName, face);
    return face;
}

namespace {

struct QtText {
    const char* context;
    const char* source;
    const char16_t* japanese;
};

// Qt's own texts that its Japanese translation (qtbase_ja of Qt 6.4) leaves
// in English, as met in the printer dialog and the file dialogs.
constexpr QtText kMissingQtTexts[] = {
    {"QAbstractFileIconProvider", "Folder", u"フォルダ"},
    {"QAbstractFileIconProvider", "Drive", u"ドライブ"},
    {"QPrintSettingsOutput", "Double Sided Printing", u"両面印刷"},
    {"QPrintSettingsOutput", "Off", u"しない"},
    {"QPrintSettingsOutput", "Long side binding", u"長辺とじ"},
    {"QPrintSettingsOutput", "Short side binding", u"短辺とじ"},
    {"QPrintSettingsOutput", "Pages", u"ページ"},
    {"QPrintSettingsOutput",
     "Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a hyphen. E.g: 3,5-7,9 prints "
     "pages 3, 5, 6, 7 and 9.",
     u"印刷するページか範囲を、カンマで区切って指定します。範囲は2つの数字をハイフンでつなぎます。例：3,5-7,9 なら 3、5、6、7、9 ページを印刷します。"},
    {"QPrintPropertiesWidget", "Advanced", u"詳細設定"},
    {"QPrintPropertiesWidget", "There are conflicts in some options. Please fix them.",
     u"いくつかの設定が食い違っています。直してください。"},
};

class MissingQtTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        for (const QtText& text : kMissingQtTexts)
            if (qstrcmp(context, text.context) == 0 && qstrcmp(source, text.source) == 0)
                return QString::fromUtf16(text.japanese);
        return {};
    }
};

} // namespace

void installJapaneseQtTexts()
{
    // Asked only where Qt's own translation has no text: the translator
    // installed last is asked first.
    QCoreApplication::installTranslator(new MissingQtTexts(QCoreApplication::instance()));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace platform
