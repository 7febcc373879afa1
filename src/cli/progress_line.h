#pragma once

#include <cstddef>
#include <string>

#include "core/scheduler/run_progress.h"

namespace keelvault::cli {

// "2:05" or "1:02:03"
std::string durationText(double seconds);

// The one-line view of a run for a terminal: the numbers of the run, its
// rate (rows or statements per second) and, when the run can be measured,
// the time left; cut to `width` characters so that it never wraps.
std::string progressLine(const RunProgressSnapshot& progress, size_t width);

// Redraws the line in place ("\r", the text, erase to the end of the line).
std::string redrawnLine(const std::string& line);
// Erases the line drawn last.
std::string clearedLine();

}  // namespace keelvault::cli
