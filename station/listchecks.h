#pragma once
// An order list made ready to be checked at this station, the same way in
// the batch window and in `horutea --batch`: against the page
// (checkAgainstThePage) and the postal codes (an address in another
// prefecture than its code); its goods named through the goods table.
#include "orders/orderlist.h"
#include "station/station.h"

namespace station {

void prepareOrderList(Station& station, orders::OrderList& list, const print::Layout& layout = print::builtInLayout());

} // namespace station
