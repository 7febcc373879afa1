#pragma once

#include <vector>

#include "core/model/task.h"

namespace keelvault {

class MySqlSession;

// Selected value of databases and tables found on the live server.
inline constexpr uint8_t kSelectedFromServer = 2;

// The working database list of a run. Without either flag it is a copy of
// the stored selection. With either, the live server is listed first (every
// database, and the tables with their kinds of each database that can be
// selected); then, in live order, `new_databases` appends every live
// database not in the stored list (exact names) with all its tables, and
// `new_tables` appends to each stored database every live table not among
// its tables. Stored entries keep their own selected values. The session's
// current database is changed by the listing.
std::vector<CDatabaseItem> resolveSelection(MySqlSession& session, const std::vector<CDatabaseItem>& stored,
                                            bool new_tables, bool new_databases);

}  // namespace keelvault
