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
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), faces);   // window font
    QFont::insertSubstitutions(QStringLiteral("ＭＳ　P ゴシック"), faces);  // printer font
    // Half-width digits half an em wide, for the window's number boxes.
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), {QStringLiteral("IPAGothic")});
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
