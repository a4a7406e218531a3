#include "platform/fonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QLibraryInfo>
#include <QTranslator>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace platform {

void installFontSubstitutions()
{
    // IPAPGothic has the metrics of the proportional gothic face the window
    // and the waybill were laid out with.
    const QStringList faces{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
    // The IPA faces lack some ideographs family names are written with, such
    // as 𠮷 (U+20BB7); Noto Sans CJK JP (fonts-noto-cjk, a dependency of the
    // package) has them. A substitute of an installed face is where Qt looks
    // first for a glyph that face lacks.
    const QString beyondJis = QStringLiteral("Noto Sans CJK JP");
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), faces + QStringList{beyondJis});   // window font
    QFont::insertSubstitutions(QStringLiteral("ＭＳ　P ゴシック"), faces + QStringList{beyondJis});  // printer font
    for (const QString& face : faces)
        QFont::insertSubstitution(face, beyondJis);
}

QString installedFace(const QString& layoutName)
{
    static QHash<QString, QString> known;
    auto it = known.constFind(layoutName);
    if (it != known.constEnd())
        return *it;
    QString face = layoutName;
    if (!QFontDatabase::hasFamily(layoutName)) {
        const QStringList installed = QFontDatabase::families();
        for (const QString& substitute : QFont::substitutes(layoutName)) {
            // Qt keeps substitutes in lower case; the face keeps its own spelling.
            const auto at = std::find_if(installed.begin(), installed.end(), [&](const QString& family) {
                return family.compare(substitute, Qt::CaseInsensitive) == 0;
            });
            if (at != installed.end()) {
                face = *at;
                break;
            }
        }
    }
    known.insert(layoutName, face);
    return face;
}

void installJapaneseQtTexts()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace platform
