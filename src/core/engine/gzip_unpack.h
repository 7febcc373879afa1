#pragma once

#include <string>

namespace keelvault {

// Result codes of unpackGzipFile.
enum GunzipResult : int {
    kGunzipDone = 0,
    kGunzipShortPath = 101,    // the path is shorter than 4 characters
    kGunzipShortName = 102,    // the path without its last 3 characters is shorter than 5
    kGunzipCannotCreate = 103, // the SQL file cannot be created
    kGunzipCannotOpen = 104,   // the GZIP file cannot be opened
    kGunzipDamaged = 105,      // the GZIP data are damaged or cut short, or the SQL file cannot be written
};

// Unpacks a ".gz" file into an SQL file beside it: the path without its last
// 3 characters, with ".sql" added unless it already ends in ".sql". An
// existing file of that name is never touched: a new unique name in the same
// folder is used instead. On success `path` becomes the written file's path;
// on failure `path` is unchanged and no partial SQL file is left behind.
int unpackGzipFile(std::string& path);

}  // namespace keelvault
