#pragma once

#include <string>

namespace keelvault {

// Result codes of compressGzipFile.
enum GzipResult : int {
    kGzipDone = 0,
    kGzipEmptyPath = 101,
    kGzipBadLevel = 102,  // level outside 1..9
    kGzipCannotOpenSource = 103,
    kGzipCannotCreate = 104,  // the gzip file cannot be created
    kGzipWriteFailed = 105,   // reading the source or writing the gzip file failed part way
};

// Compresses the file at `path` into `path` + ".gz" at the given level (1..9).
// The gzip data go to a temporary file next to the target, which is renamed
// over the target only when everything was written and flushed, so a failure
// never leaves a partial ".gz" behind. On success `path` becomes the ".gz"
// path; the source file is kept.
int compressGzipFile(std::string& path, int level);

}  // namespace keelvault
