#include "core/model/task_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace keelvault {
namespace {

using test::makeTime;

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

void putU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A record of the current layout, laid out byte by byte.
std::string handRecord(uint8_t level, const TaskTime& t, const std::string& text) {
    std::string r;
    r.push_back(static_cast<char>(level));
    for (int32_t v : {t.year, t.month, t.day, t.hour, t.minute, t.second, t.day_of_week}) {
        putU32(r, static_cast<uint32_t>(v));
    }
    std::string field = text.substr(0, 331);
    field.resize(331, '\0');
    return r + field;
}

// A record of the earlier layout: level, seven time fields, length, text.
std::string handOldRecord(uint8_t level, const TaskTime& t, const std::string& text) {
    std::string r;
    r.push_back(static_cast<char>(level));
    for (int32_t v : {t.year, t.month, t.day, t.hour, t.minute, t.second, t.day_of_week}) {
        putU32(r, static_cast<uint32_t>(v));
    }
    putU32(r, static_cast<uint32_t>(text.size()));
    return r + text;
}

std::string magic(uint32_t m) {
    std::string s;
    putU32(s, m);
    return s;
}

class TaskLogTest : public ::testing::Test {
protected:
    fs::path logs() const { return dir_.path() / "Logs"; }
    fs::path file(const std::string& name) const { return logs() / name; }

    TempDir dir_;
    const TaskTime t1_ = makeTime(2006, 1, 2, 15, 4, 9);
    const TaskTime t2_ = makeTime(2024, 2, 29, 23, 59, 58);
};

TEST_F(TaskLogTest, AppendToMissingLogWritesMagicAndOneExactRecord) {
    ASSERT_TRUE(appendLog(logs(), "Nightly_2006121594.log", kLogWarning, "Running...", t1_));
    const std::string bytes = readFile(file("Nightly_2006121594.log"));
    ASSERT_EQ(bytes.size(), 364u);
    EXPECT_EQ(bytes, magic(0xCABDF9E0) + handRecord(1, t1_, "Running..."));

    ASSERT_TRUE(appendLog(logs(), "Nightly_2006121594.log", kLogError, "Finished", t2_));
    EXPECT_EQ(readFile(file("Nightly_2006121594.log")),
              magic(0xCABDF9E0) + handRecord(1, t1_, "Running...") + handRecord(2, t2_, "Finished"));

    const std::vector<LogRecord> records = readAllLog(logs(), "Nightly_2006121594.log");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], (LogRecord{kLogWarning, t1_, "Running..."}));
    EXPECT_EQ(records[1], (LogRecord{kLogError, t2_, "Finished"}));
}

TEST_F(TaskLogTest, LongTextIsCutTo331BytesWithoutTerminator) {
    const std::string text(400, 'x');
    ASSERT_TRUE(appendLog(logs(), "a.log", kLogInfo, text, t1_));
    const std::string bytes = readFile(file("a.log"));
    ASSERT_EQ(bytes.size(), 364u);
    EXPECT_EQ(bytes.substr(4 + 29), std::string(331, 'x'));

    const std::vector<LogRecord> records = readAllLog(logs(), "a.log");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, std::string(331, 'x'));
    // A following record must not bleed into the unterminated text.
    ASSERT_TRUE(appendLog(logs(), "a.log", kLogInfo, "next", t1_));
    EXPECT_EQ(readAllLog(logs(), "a.log")[0].text, std::string(331, 'x'));
}

TEST_F(TaskLogTest, TextStopsAtFirstZeroByte) {
    ASSERT_TRUE(appendLog(logs(), "z.log", kLogInfo, std::string("ab\0cd", 5), t1_));
    EXPECT_EQ(readAllLog(logs(), "z.log").at(0).text, "ab");
}

TEST_F(TaskLogTest, OnlyTheFilePartOfTheNameIsUsed) {
    EXPECT_EQ(logFilePath(logs(), "C:\\Program Files\\Keel\\Logs\\b.log"), file("b.log"));
    EXPECT_EQ(logFilePath(logs(), "some/dir\\mixed/c.log"), file("c.log"));
    EXPECT_EQ(logFilePath(logs(), "plain.log"), file("plain.log"));

    ASSERT_TRUE(appendLog(logs(), "C:\\old\\folder\\b.log", kLogInfo, "hello", t1_));
    EXPECT_TRUE(fs::exists(file("b.log")));
    EXPECT_EQ(readAllLog(logs(), "/elsewhere/b.log").size(), 1u);
}

TEST_F(TaskLogTest, EmptyTextWritesOnlyTheMagic) {
    ASSERT_TRUE(appendLog(logs(), "e.log", kLogInfo, "", t1_));
    EXPECT_EQ(readFile(file("e.log")), magic(0xCABDF9E0));

    ASSERT_TRUE(appendLog(logs(), "e.log", kLogInfo, "one", t1_));
    ASSERT_TRUE(appendLog(logs(), "e.log", kLogInfo, "", t1_));
    EXPECT_EQ(fs::file_size(file("e.log")), 364u);
}

TEST_F(TaskLogTest, MagicIsRewrittenAtOffsetZeroOnEveryAppend) {
    fs::create_directories(logs());
    writeFile(file("m.log"), magic(0x12345678) + handRecord(0, t1_, "kept"));
    ASSERT_TRUE(appendLog(logs(), "m.log", kLogInfo, "added", t2_));
    const std::vector<LogRecord> records = readAllLog(logs(), "m.log");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, "kept");
    EXPECT_EQ(records[1].text, "added");
}

TEST_F(TaskLogTest, AppendFailures) {
    EXPECT_FALSE(appendLog(logs(), "", kLogInfo, "text", t1_));
    EXPECT_FALSE(appendLog(logs(), "dir/", kLogInfo, "text", t1_));

    // The logs folder cannot be created where a file stands.
    writeFile(dir_.path() / "blocked", "x");
    EXPECT_FALSE(appendLog(dir_.path() / "blocked", "a.log", kLogInfo, "text", t1_));
    EXPECT_EQ(readFile(dir_.path() / "blocked"), "x");
}

TEST_F(TaskLogTest, ReadLastGivesTheNewestRecordsInFileOrder) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(appendLog(logs(), "r.log", kLogInfo, "line " + std::to_string(i), t1_));

    const std::vector<LogRecord> all = readLastLog(logs(), "r.log", 10);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].text, "line 0");
    EXPECT_EQ(all[2].text, "line 2");

    const std::vector<LogRecord> last2 = readLastLog(logs(), "r.log", 2);
    ASSERT_EQ(last2.size(), 2u);
    EXPECT_EQ(last2[0].text, "line 1");
    EXPECT_EQ(last2[1].text, "line 2");

    EXPECT_TRUE(readLastLog(logs(), "r.log", 0).empty());
    EXPECT_TRUE(readLastLog(logs(), "missing.log", 5).empty());
    EXPECT_TRUE(readAllLog(logs(), "missing.log").empty());
}

TEST_F(TaskLogTest, ReadLastIgnoresTheEarlierLayout) {
    fs::create_directories(logs());
    writeFile(file("old.log"), magic(0xBFDFAEB0) + handOldRecord(0, t1_, "old"));
    EXPECT_TRUE(readLastLog(logs(), "old.log", 5).empty());
    EXPECT_EQ(readAllLog(logs(), "old.log").size(), 1u);
}

TEST_F(TaskLogTest, UnknownFirstWordGivesNoRecords) {
    fs::create_directories(logs());
    writeFile(file("other.log"), magic(0xDEADBEEF) + handRecord(0, t1_, "x"));
    EXPECT_TRUE(readAllLog(logs(), "other.log").empty());
    EXPECT_TRUE(readLastLog(logs(), "other.log", 5).empty());
}

TEST_F(TaskLogTest, EarlierLayoutIsReadWithItsOwnLengths) {
    fs::create_directories(logs());
    const std::string long_text(500, 'q');
    writeFile(file("old.log"),
              magic(0xBFDFAEB0) + handOldRecord(2, t1_, "first") + handOldRecord(1, t2_, long_text));
    const std::vector<LogRecord> records = readAllLog(logs(), "old.log");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], (LogRecord{kLogError, t1_, "first"}));
    EXPECT_EQ(records[1], (LogRecord{kLogWarning, t2_, long_text}));
}

// Every possible cut of a file must give exactly the records that are whole
// before the cut, for both layouts.
TEST_F(TaskLogTest, TruncatedFilesGiveTheWholeRecordsBeforeTheCut) {
    fs::create_directories(logs());
    const std::string current =
        magic(0xCABDF9E0) + handRecord(0, t1_, "one") + handRecord(1, t1_, "two") + handRecord(2, t2_, "three");
    const std::string texts[] = {"one", "two", "three"};
    for (size_t len = 0; len <= current.size(); ++len) {
        writeFile(file("cut.log"), current.substr(0, len));
        const size_t whole = len < 4 ? 0 : (len - 4) / 360;
        ASSERT_EQ(readAllLog(logs(), "cut.log").size(), whole) << len;
        // A partial record at the end must not shift the records read back.
        const std::vector<LogRecord> last = readLastLog(logs(), "cut.log", 2);
        ASSERT_EQ(last.size(), std::min<size_t>(whole, 2)) << len;
        for (size_t i = 0; i < last.size(); ++i) {
            EXPECT_EQ(last[i].text, texts[whole - last.size() + i]) << len;
        }
    }

    const std::string r1 = handOldRecord(0, t1_, "alpha");
    const std::string r2 = handOldRecord(1, t2_, "beta gamma");
    const std::string old = magic(0xBFDFAEB0) + r1 + r2;
    for (size_t len = 0; len <= old.size(); ++len) {
        writeFile(file("cut.log"), old.substr(0, len));
        size_t whole = 0;
        if (len >= 4 + r1.size()) whole = 1;
        if (len == old.size()) whole = 2;
        ASSERT_EQ(readAllLog(logs(), "cut.log").size(), whole) << len;
    }
}

TEST_F(TaskLogTest, AbsurdLengthsInTheEarlierLayoutStopReading) {
    fs::create_directories(logs());
    const std::string good = handOldRecord(0, t1_, "good");
    for (uint32_t bad_length : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x80000000u, 1000u}) {
        std::string bad = handOldRecord(2, t2_, "bad!");
        bad.replace(29, 4, magic(bad_length));
        writeFile(file("bad.log"), magic(0xBFDFAEB0) + good + bad + good);
        const std::vector<LogRecord> records = readAllLog(logs(), "bad.log");
        ASSERT_EQ(records.size(), 1u) << bad_length;
        EXPECT_EQ(records[0].text, "good");
    }
}

TEST_F(TaskLogTest, RandomlyDamagedFilesNeverCrash) {
    fs::create_directories(logs());
    std::mt19937 rng(1234);
    const std::string bases[] = {
        magic(0xCABDF9E0) + handRecord(0, t1_, "one") + handRecord(1, t2_, "two"),
        magic(0xBFDFAEB0) + handOldRecord(0, t1_, "one") + handOldRecord(1, t2_, "two"),
    };
    for (const std::string& base : bases) {
        for (int round = 0; round < 300; ++round) {
            std::string damaged = base;
            const int flips = 1 + static_cast<int>(rng() % 8);
            for (int f = 0; f < flips; ++f) {
                // Keep the magic most of the time so the record parsers are reached.
                const size_t pos = 4 + rng() % (damaged.size() - 4);
                damaged[pos] = static_cast<char>(rng());
            }
            damaged.resize(rng() % (damaged.size() + 1));
            writeFile(file("fuzz.log"), damaged);
            const std::vector<LogRecord> all = readAllLog(logs(), "fuzz.log");
            EXPECT_LE(all.size(), 2u);
            for (const LogRecord& r : all) EXPECT_LE(r.text.size(), damaged.size());
            EXPECT_LE(readLastLog(logs(), "fuzz.log", 3).size(), 2u);
        }
    }
}

TEST_F(TaskLogTest, ConversionRewritesEarlierLogsOnce) {
    fs::create_directories(logs());
    const std::string long_text(400, 'L');
    writeFile(file("old.log"), magic(0xBFDFAEB0) + handOldRecord(0, t1_, "Create task") +
                                   handOldRecord(2, t2_, long_text));
    const std::string current = magic(0xCABDF9E0) + handRecord(1, t1_, "already new");
    writeFile(file("new.log"), current);
    writeFile(file("foreign.log"), "not a log at all");

    convertLogsOnce(logs(), {"C:\\x\\old.log", "new.log", "missing.log", "foreign.log", ""});

    EXPECT_EQ(readFile(file("old.log")),
              magic(0xCABDF9E0) + handRecord(0, t1_, "Create task") + handRecord(2, t2_, long_text));
    EXPECT_EQ(fs::file_size(file("old.log")), 4u + 2 * 360);
    EXPECT_EQ(readFile(file("new.log")), current);
    EXPECT_EQ(readFile(file("foreign.log")), "not a log at all");
    EXPECT_FALSE(fs::exists(file("missing.log")));
    ASSERT_TRUE(fs::exists(file("log200se.dll")));
    EXPECT_EQ(fs::file_size(file("log200se.dll")), 3072u);

    const std::vector<LogRecord> records = readAllLog(logs(), "old.log");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].text, std::string(331, 'L'));

    // With the marker present nothing is touched again.
    const std::string later_old = magic(0xBFDFAEB0) + handOldRecord(0, t1_, "late");
    writeFile(file("late.log"), later_old);
    convertLogsOnce(logs(), {"late.log"});
    EXPECT_EQ(readFile(file("late.log")), later_old);
}

TEST_F(TaskLogTest, ConversionCreatesTheLogsFolderAndMarker) {
    convertLogsOnce(logs(), {});
    EXPECT_EQ(fs::file_size(file("log200se.dll")), 3072u);
}

TEST_F(TaskLogTest, SizeLimitDeletesOnlyLogsThatReachedTheMaximum) {
    struct Case {
        size_t size;
        bool limited;
        int32_t max_kb;
        bool deleted;
    };
    const Case cases[] = {
        {10240, true, 10, true},   {10239, true, 10, false}, {20000, true, 10, true},
        {10240, false, 10, false}, {10240, true, 0, false},  {10240, true, -5, false},
        {1024, true, 1, true},     {1023, true, 1, false},
    };
    fs::create_directories(logs());
    for (const Case& c : cases) {
        writeFile(file("s.log"), std::string(c.size, 'x'));
        applyLogSizeLimit(logs(), "folder\\s.log", c.limited, c.max_kb);
        EXPECT_EQ(!fs::exists(file("s.log")), c.deleted)
            << c.size << " bytes, limited " << c.limited << ", max " << c.max_kb;
    }
}

TEST_F(TaskLogTest, SizeLimitLeavesMissingLogAloneAndNextAppendStartsAfresh) {
    applyLogSizeLimit(logs(), "gone.log", true, 1);
    EXPECT_TRUE(fs::is_directory(logs()));
    EXPECT_FALSE(fs::exists(file("gone.log")));

    for (int i = 0; i < 3; ++i) ASSERT_TRUE(appendLog(logs(), "gone.log", kLogInfo, "x", t1_));
    applyLogSizeLimit(logs(), "gone.log", true, 1);
    EXPECT_FALSE(fs::exists(file("gone.log")));
    ASSERT_TRUE(appendLog(logs(), "gone.log", kLogInfo, "Running...", t1_));
    EXPECT_EQ(fs::file_size(file("gone.log")), 364u);
}

TEST_F(TaskLogTest, ConcurrentAppendsNeverInterleave) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kPerThread; ++i) {
                // Long texts make a split write visible.
                const std::string text =
                    "T" + std::to_string(t) + "-" + std::to_string(i) + "-" + std::string(300, 'a' + t);
                appendLog(logs(), "busy.log", static_cast<uint8_t>(t % 3), text, t1_);
            }
        });
    }
    for (std::thread& th : threads) th.join();

    EXPECT_EQ(fs::file_size(file("busy.log")), 4u + kThreads * kPerThread * 360);
    const std::vector<LogRecord> records = readAllLog(logs(), "busy.log");
    ASSERT_EQ(records.size(), static_cast<size_t>(kThreads * kPerThread));
    std::vector<int> next(kThreads, 0);
    for (const LogRecord& r : records) {
        ASSERT_EQ(r.time, t1_);
        const size_t dash1 = r.text.find('-');
        const size_t dash2 = r.text.find('-', dash1 + 1);
        ASSERT_NE(dash2, std::string::npos) << r.text;
        const int t = std::stoi(r.text.substr(1, dash1 - 1));
        const int i = std::stoi(r.text.substr(dash1 + 1, dash2 - dash1 - 1));
        ASSERT_EQ(r.level, t % 3);
        ASSERT_EQ(r.text.substr(dash2 + 1), std::string(300, static_cast<char>('a' + t)));
        ASSERT_EQ(i, next[static_cast<size_t>(t)]++) << "records of one thread out of order";
    }
    for (int n : next) EXPECT_EQ(n, kPerThread);
}

TEST(LogLevelTextTest, NamesEveryKind) {
    EXPECT_STREQ(logLevelText(0), "General Info");
    EXPECT_STREQ(logLevelText(1), "Warning Info");
    EXPECT_STREQ(logLevelText(2), "Error Info");
    EXPECT_STREQ(logLevelText(7), "Error Info");
}

}  // namespace
}  // namespace keelvault
