#include "platform/fonts.h"

#include <QFont>
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

} // namespace platform
