#include "cli/progress_line.h"

#include <cmath>
#include <cstdio>

namespace keelvault::cli {

std::string durationText(double seconds) {
    const long long total = seconds > 0 ? std::llround(seconds) : 0;
    const long long h = total / 3600;
    const long long m = total / 60 % 60;
    const long long s = total % 60;
    char buf[48];
    if (h > 0) {
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", h, m, s);
    } else {
        std::snprintf(buf, sizeof buf, "%lld:%02lld", m, s);
    }
    return buf;
}

std::string progressLine(const RunProgressSnapshot& p, size_t width) {
    std::string line = progressText(p);
    if (line.empty()) line = "starting";
    // Rates and estimates from a fraction of a second would jump about.
    std::string tail;
    if (p.seconds >= 1.0) {
        const bool rows = p.rows_all > 0;
        const int64_t count = rows ? p.rows_all : p.statements;
        if (count > 0) {
            const auto rate = static_cast<int64_t>(static_cast<double>(count) / p.seconds);
            tail += ", " + groupedNumber(rate) + (rows ? " rows/s" : " statements/s");
        }
        const double fraction = progressFraction(p);
        if (fraction > 0.001 && fraction < 1.0) {
            tail += ", " + durationText(p.seconds * (1.0 - fraction) / fraction) + " left";
        }
    }
    // On a narrow terminal the rate and the time left are kept whole.
    if (line.size() + tail.size() > width && tail.size() < width) line.resize(width - tail.size());
    line += tail;
    if (line.size() > width) line.resize(width);
    return line;
}

std::string redrawnLine(const std::string& line) { return "\r" + line + "\x1b[K"; }

std::string clearedLine() { return "\r\x1b[K"; }

}  // namespace keelvault::cli
