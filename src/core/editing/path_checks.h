#pragma once

#include <string>

namespace keelvault {

// True when `folder` is an existing folder, or was created now as one new
// level inside an existing parent. Deeper missing levels are not created, so
// a mistyped parent path is refused instead of growing a tree of folders.
// One trailing '/' is ignored.
bool ensureFolderOneLevel(const std::string& folder);

// True when `path` names a regular file that can be opened for reading, or a
// file that does not exist yet and can be created. A file made for the test
// is removed again; an existing file is never opened for writing, so the
// test cannot damage it.
bool fileReadableOrCreatable(const std::string& path);

// The path with one '/' added unless it already ends in '/' (an empty path
// stays empty).
std::string withTrailingSeparator(const std::string& folder);

}  // namespace keelvault
