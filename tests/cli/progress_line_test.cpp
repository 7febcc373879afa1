// The progress line of a run on a terminal.
#include <gtest/gtest.h>

#include "cli/progress_line.h"

namespace keelvault::cli {
namespace {

RunProgressSnapshot backupUnderWay() {
    RunProgressSnapshot p;
    p.running = true;
    p.database = "shop";
    p.table = "orders";
    p.tables_total = 4;
    p.tables_done = 1;
    p.rows_done = 500;
    p.rows_estimate = 1000;
    p.rows_all = 3000;
    p.bytes = 2 * 1024 * 1024;
    p.seconds = 10;
    return p;
}

TEST(ProgressLine, RatesAndTimeLeft) {
    RunProgressSnapshot no_estimate = backupUnderWay();
    no_estimate.tables_total = 0;
    no_estimate.rows_estimate = -1;
    RunProgressSnapshot early = backupUnderWay();
    early.seconds = 0.4;
    RunProgressSnapshot script;
    script.running = true;
    script.statements = 50;
    script.statements_total = 200;
    script.seconds = 5;

    struct Case {
        const char* name;
        RunProgressSnapshot progress;
        std::string line;
    };
    const Case cases[] = {
        // 1.5 of 4 tables in 10 s: 2.5 tables more take 16.7 s.
        {"measured", backupUnderWay(), "shop.orders: 500 of 1,000 rows, table 2 of 4, 2.0 MB, 300 rows/s, 0:17 left"},
        {"unknown estimate", no_estimate, "shop.orders: 500 rows, 2.0 MB, 300 rows/s"},
        {"too early for a rate", early, "shop.orders: 500 of 1,000 rows, table 2 of 4, 2.0 MB"},
        {"statements", script, "50 of 200 statements, 10 statements/s, 0:15 left"},
        {"nothing reported", RunProgressSnapshot{}, "starting"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(progressLine(c.progress, 200), c.line);
    }
}

TEST(ProgressLine, FitsTheTerminalAndRedrawsInPlace) {
    // The numbers give way to the rate and the time left.
    EXPECT_EQ(progressLine(backupUnderWay(), 60), "shop.orders: 500 of 1,000 rows, table, 300 rows/s, 0:17 left");
    EXPECT_EQ(progressLine(backupUnderWay(), 20), "shop.orders: 500 of ");
    EXPECT_EQ(redrawnLine("abc"), "\rabc\x1b[K");
    EXPECT_EQ(clearedLine(), "\r\x1b[K");
}

TEST(ProgressLine, Durations) {
    EXPECT_EQ(durationText(0), "0:00");
    EXPECT_EQ(durationText(59.6), "1:00");
    EXPECT_EQ(durationText(3725), "1:02:05");
    EXPECT_EQ(durationText(-3), "0:00");
}

}  // namespace
}  // namespace keelvault::cli
