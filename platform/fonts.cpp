#include "platform/fonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>
#include <QString>
#include <QStringList>

namespace platform {

void installFontSubstitutions()
{
    // IPAPGothic has the metrics of the proportional gothic face the window
    // and the waybill were laid out with.
    const QStringList faces{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), faces);   // window font
    QFont::insertSubstitutions(QStringLiteral("ＭＳ　P ゴシック"), faces);  // printer font
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
