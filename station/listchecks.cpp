#include "station/listchecks.h"

#include "goods/goodstable.h"
#include "postal/directory.h"
#include "station/orderprint.h"

namespace station {

void prepareOrderList(Station& station, orders::OrderList& list, const print::Layout& layout)
{
    checkAgainstThePage(list, layout);
    list.setPostalPrefectures([&station](const QString& sevenDigits) {
        QStringList prefectures;
        // The data file is opened at the first row's look-up, not before.
        const postal::LookupResult found = station.postalCodes().lookup(sevenDigits);
        for (const postal::Match& match : found.matches)
            if (!prefectures.contains(match.prefecture))
                prefectures << match.prefecture;
        return prefectures;
    });
    // The goods table read at the first item looked up, again after a change.
    auto goodsNames = std::make_shared<goods::GoodsNamesLookup>(station.database());
    list.setGoodsNames([goodsNames](const QString& productCode, const QString& listName) {
        return goodsNames->find(productCode, listName);
    });
}

} // namespace station
