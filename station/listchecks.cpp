#include "station/listchecks.h"

#include "postal/directory.h"
#include "print/overrun.h"

namespace station {

void prepareOrderList(Station& station, orders::OrderList& list)
{
    list.setFitCheck(print::printProblem);
    list.setPostalPrefectures([&station](const QString& sevenDigits) {
        QStringList prefectures;
        // The data file is opened at the first row's look-up, not before.
        const postal::LookupResult found = station.postalCodes().lookup(sevenDigits);
        for (const postal::Match& match : found.matches)
            if (!prefectures.contains(match.prefecture))
                prefectures << match.prefecture;
        return prefectures;
    });
}

} // namespace station
