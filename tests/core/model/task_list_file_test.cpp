#include "core/model/task_list_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// The test's own little-endian encoder, independent of the code under test.
struct Le {
    std::string b;
    void u8(unsigned v) { b.push_back(static_cast<char>(v & 0xFF)); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8((v >> (8 * i)) & 0xFF);
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void text(const std::string& s, uint8_t key = 0x6B) {
        i32(static_cast<int32_t>(s.size()));
        for (char c : s) u8(static_cast<uint8_t>(c) ^ key);
    }
    void time(int32_t y, int32_t mo, int32_t d, int32_t h, int32_t mi, int32_t s, int32_t dow) {
        for (int32_t v : {y, mo, d, h, mi, s, dow}) i32(v);
    }
    void zeros(size_t n) { b.append(n, '\0'); }
    size_t size() const { return b.size(); }
};

void putU32(std::string& bytes, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t getU32(const std::string& bytes, size_t offset) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)])) << (8 * i);
    return v;
}

// A task with a handful of fields away from their defaults.
CTask fixtureTask() {
    CTask t;
    t.ref_text = "R1";
    t.run_now = 1;
    t.name = "Nightly";
    t.task_type = kTypeExecuteScript;
    t.status = kStatusWaiting;
    t.created_at = TaskTime{2024, 3, 5, 7, 8, 9, 3};
    t.log_name = "Nightly_202435789.log";
    t.source.port = 3307;
    t.source.password = "pw";
    t.export_tables = {CTableItem{2, 1, "db", "t1"}};
    t.backup_options.flags[kOptFileType] = 2;
    t.backup_options.retention_kind = 2;
    t.backup_options.retention_limit = 7;
    t.backup_options.gzip = 1;
    t.databases = {CDatabaseItem{2, "shop", {CTableItem{2, 2, "shop", "v1"}}}};
    t.schedule.kind = kScheduleEveryWeek;
    t.schedule.hour = 3;
    t.schedule.minute = 15;
    t.schedule.week_days[1] = 1;
    t.script = {"SELECT 1"};
    CBackupRecord rec;
    rec.year = 2024;
    rec.month = 3;
    rec.day = 5;
    rec.hour = 2;
    rec.file_mode = 2;
    rec.file_type = 1;
    rec.files = {"/b/x.sql.gz"};
    t.backups = {rec};
    t.buffer_options = CBufferOptions{1, 500};
    return t;
}

// Offsets (within the record) of fields the corruption tests aim at.
struct FixtureOffsets {
    size_t ref_text_length = 0;
    size_t comment = 0;
    size_t export_tables_count = 0;
    size_t databases_count = 0;
    size_t database_tables_count = 0;
    size_t script_count = 0;
    size_t backups_count = 0;
    size_t backup_files_count = 0;
    size_t restore_files_count = 0;
};

void defaultServer(Le& e, int32_t port, const std::string& password) {
    e.text("");
    e.text("localhost");
    e.i32(port);
    e.text("root");
    e.text(password);
    e.text("");
    e.text("");
    e.zeros(4);  // save password, compression, SSL, reserved
}

// The record of fixtureTask(), written out field by field.
std::string fixtureRecord(FixtureOffsets* at = nullptr) {
    FixtureOffsets off;
    Le e;
    e.u32(0xDABDFE90);
    off.ref_text_length = e.size();
    e.text("R1");
    e.u8(1);  // run_now
    e.text("Nightly");
    off.comment = e.size();
    e.text("");
    e.u8(5);  // type
    e.u8(1);  // status
    e.time(2024, 3, 5, 7, 8, 9, 3);
    e.zeros(3 * 28);
    e.text("Nightly_202435789.log");
    defaultServer(e, 3307, "pw");
    defaultServer(e, 3306, "");
    // Export options.
    e.u8(1);
    for (int i = 0; i < 5; ++i) e.text("");
    e.u8(0);
    off.export_tables_count = e.size();
    e.i32(1);
    e.u8(2);
    e.u8(1);
    e.text("db");
    e.text("t1");
    // Backup options: 29 bytes, file type (26) switched to PHP.
    for (unsigned f : {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 1}) e.u8(f);
    e.text("");
    e.text("");
    e.text("%HOST%_%DATE%_%TIME%");
    e.u8(2);
    e.i32(7);
    e.zeros(4);  // subdir, '\n', reserved, new database
    e.text("");
    e.u8(1);
    e.i32(5);
    // Databases.
    off.databases_count = e.size();
    e.i32(1);
    e.u8(2);
    e.text("shop");
    off.database_tables_count = e.size();
    e.i32(1);
    e.u8(2);
    e.u8(2);
    e.text("shop");
    e.text("v1");
    // Schedule.
    e.u8(2);
    e.i32(3);
    e.i32(15);
    e.u8(0);
    e.u8(1);
    e.zeros(5 + 31);
    e.zeros(4 * 4);
    e.i32(30);
    // Script.
    off.script_count = e.size();
    e.i32(1);
    e.text("SELECT 1");
    // Backups.
    off.backups_count = e.size();
    e.i32(1);
    for (int32_t v : {2024, 3, 5, 2, 0, 0}) e.i32(v);
    e.u8(2);
    e.u8(1);
    e.u8(0);
    e.text("");
    off.backup_files_count = e.size();
    e.i32(1);
    e.text("/b/x.sql.gz");
    // Restore options and files.
    e.u8(1);
    e.u8(1);
    off.restore_files_count = e.size();
    e.i32(0);
    // Buffer options.
    e.u8(1);
    e.i32(500);
    e.u32(0xDABDFE90);
    if (at) *at = off;
    return e.b;
}

std::string fileOf(const std::vector<std::string>& records) {
    Le e;
    e.u32(0xDABDFE90);
    e.i32(static_cast<int32_t>(records.size()));
    for (const auto& r : records) e.b += r;
    return e.b;
}

// Two tasks with every field set and every list non-empty.
CTask fullTask(int n) {
    CTask t;
    const std::string s = std::to_string(n);
    t.ref_text = "ref" + s;
    t.run_now = 1;
    t.name = "Task " + s;
    t.comment = "comment\r\nline " + s;
    t.task_type = static_cast<uint8_t>(n);
    t.status = kStatusService;
    t.created_at = TaskTime{2023, 1, 2, 3, 4, 5, 2};
    t.started_at = TaskTime{2023, 2, 3, 4, 5, 6, 3};
    t.last_run = TaskTime{2023, 3, 4, 5, 6, 7, 4};
    t.next_run = TaskTime{2023, 4, 5, 6, 7, 8, 5};
    t.log_name = "Task" + s + "_202312345.log";
    t.source = CServerSettings{"src" + s, "db.example", 3310 + n, "alice", "sëcret" + s, "sales", "c", 1, 1, 1, 7};
    t.destination = CServerSettings{"dst", "10.0.0.1", 3320, "bob", "p", "copy", "note", 1, 0, 1, 0};
    t.export_options = CExportOptions{3, "/exp", ",", "\"", "\\", "\n", 1};
    t.export_tables = {CTableItem{2, 1, "a", "t"}, CTableItem{1, 2, "b", "v"}};
    for (size_t i = 0; i < t.backup_options.flags.size(); ++i) t.backup_options.flags[i] = static_cast<uint8_t>(i + n);
    t.backup_options.same_file_path = "/same.sql";
    t.backup_options.backup_directory = "/backups";
    t.backup_options.file_name_format = "%HOST%_%DATABASE%";
    t.backup_options.retention_kind = 1;
    t.backup_options.retention_limit = 10000;
    t.backup_options.date_time_subdir = 1;
    t.backup_options.unix_newlines = 1;
    t.backup_options.reserved36 = 9;
    t.backup_options.new_database = 1;
    t.backup_options.destination_database = "%TASKNAME%_%DATE%";
    t.backup_options.gzip = 1;
    t.backup_options.compression_level = 9;
    t.databases = {CDatabaseItem{1, "a", {CTableItem{2, 1, "a", "t"}}}, CDatabaseItem{2, "b", {}}};
    t.schedule.kind = kScheduleSpecialDate;
    t.schedule.hour = 23;
    t.schedule.minute = 59;
    t.schedule.week_days = {1, 0, 1, 0, 1, 0, 1};
    t.schedule.month_days[30] = 1;
    t.schedule.year = 2030;
    t.schedule.month = 12;
    t.schedule.day = 31;
    t.schedule.every_n_days = 3;
    t.schedule.interval_minutes = 45;
    t.script = {"CREATE TABLE x (a INT)", "", "INSERT INTO x VALUES (" + s + ")"};
    t.backups = {CBackupRecord{2023, 5, 6, 7, 8, 9, 1, 2, 3, "/backups/20230506_070809", {"/f1.sql", "/f2.sql.gz"}},
                 CBackupRecord{2023, 6, 7, 8, 9, 10, 2, 1, 0, "", {"/g.php"}}};
    t.restore_options = CRestoreOptions{0, 0};
    t.restore_files = {CRestoreFile{1, "d.sql.gz", "/in/d.sql.gz", -1, 2022, 1, 1, 0, 0, 0, 7},
                       CRestoreFile{101, "e.txt", "/in/e.txt", 12345, 2022, 2, 2, 1, 1, 1, 4}};
    t.buffer_options = CBufferOptions{2, 10000};
    return t;
}

CTaskList sentinelList() {
    CTaskList list;
    CTask t;
    t.name = "sentinel";
    list.append(t);
    return list;
}

void expectSentinel(const CTaskList& list) {
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0).name, "sentinel");
}

std::string twoFullTasksFile() {
    return fileOf({serializeTask(fullTask(1)), serializeTask(fullTask(2))});
}

TEST(TaskListLayout, RecordMatchesHandBuiltBytes) {
    FixtureOffsets off;
    const std::string expected = fixtureRecord(&off);
    EXPECT_EQ(serializeTask(fixtureTask()), expected);

    // An empty text is its length alone.
    EXPECT_EQ(expected.substr(off.comment, 5), std::string("\0\0\0\0\x05", 5));

    CTaskList list;
    ASSERT_TRUE(parseTaskList(fileOf({expected}), list));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0), fixtureTask());
}

TEST(TaskListLayout, SavedFileIsMagicCountAndRecords) {
    TempDir dir;
    CTaskList list;
    list.append(fixtureTask());
    list.append(fixtureTask());
    ASSERT_TRUE(saveTaskList(dir / "tasks_pro.tsk", list));
    EXPECT_EQ(readFile(dir / "tasks_pro.tsk"), fileOf({fixtureRecord(), fixtureRecord()}));
}

TEST(TaskListLayout, RecordWithEveryTextAndListEmptyLoads) {
    CTask t;
    t.source.host.clear();
    t.source.user.clear();
    t.destination.host.clear();
    t.destination.user.clear();
    t.backup_options.file_name_format.clear();
    const std::string record = serializeTask(t);
    // The smallest possible record: any count check stricter than this would
    // reject valid files.
    EXPECT_EQ(record.size(), 378u);
    CTaskList list;
    ASSERT_TRUE(parseTaskList(fileOf({record}), list));
    EXPECT_EQ(list.at(0), t);
}

TEST(TaskListFile, TwoFullTasksRoundTrip) {
    TempDir dir;
    CTaskList list;
    list.append(fullTask(1));
    list.append(fullTask(2));
    ASSERT_TRUE(saveTaskList(dir / "t.tsk", list));

    CTaskList loaded;
    ASSERT_TRUE(loadTaskList(dir / "t.tsk", loaded));
    ASSERT_EQ(loaded.count(), 2);
    EXPECT_EQ(loaded.at(0), fullTask(1));
    EXPECT_EQ(loaded.at(1), fullTask(2));
    EXPECT_NE(loaded.at(0), loaded.at(1));

    // Passwords are never stored in the clear.
    const std::string bytes = readFile(dir / "t.tsk");
    EXPECT_EQ(bytes.find("sëcret1"), std::string::npos);
    EXPECT_EQ(fs::status(dir / "t.tsk").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(TaskListFile, SaveTasksWritesGivenTasksInOrder) {
    TempDir dir;
    const CTask a = fullTask(1), b = fullTask(2);
    ASSERT_TRUE(saveTasks(dir / "t.tsk", {&b, &a}));
    EXPECT_EQ(readFile(dir / "t.tsk"), fileOf({serializeTask(b), serializeTask(a)}));
}

TEST(TaskListFile, EmptyListRemovesFile) {
    TempDir dir;
    CTaskList list;
    list.append(fixtureTask());
    ASSERT_TRUE(saveTaskList(dir / "t.tsk", list));
    ASSERT_TRUE(fs::exists(dir / "t.tsk"));

    ASSERT_TRUE(saveTaskList(dir / "t.tsk", CTaskList{}));
    EXPECT_FALSE(fs::exists(dir / "t.tsk"));
    EXPECT_TRUE(saveTaskList(dir / "t.tsk", CTaskList{}));  // nothing to remove is fine too
    EXPECT_FALSE(saveTaskList("", list));
}

TEST(TaskListFile, MissingFileFailsAndLeavesList) {
    TempDir dir;
    CTaskList list = sentinelList();
    EXPECT_FALSE(loadTaskList(dir / "none.tsk", list));
    EXPECT_FALSE(loadTaskList("", list));
    expectSentinel(list);
}

// Writes past the file-size limit fail even for root, so this is a save
// that really breaks half-way through the new file.
TEST(TaskListFile, FailedSaveKeepsOldFile) {
    TempDir dir;
    CTaskList old_list;
    old_list.append(fixtureTask());
    ASSERT_TRUE(saveTaskList(dir / "t.tsk", old_list));
    const std::string old_bytes = readFile(dir / "t.tsk");

    CTaskList big;
    for (int i = 0; i < 20; ++i) big.append(fullTask(1));

    struct sigaction ignore = {};
    struct sigaction previous = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = old_bytes.size() + 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = saveTaskList(dir / "t.tsk", big);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(readFile(dir / "t.tsk"), old_bytes);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1u) << "the temporary file is left behind";
}

TEST(TaskListFile, SaveIntoMissingFolderFails) {
    TempDir dir;
    writeFile(dir / "plain", "x");
    CTaskList list;
    list.append(fixtureTask());
    EXPECT_FALSE(saveTaskList(dir / "plain" / "t.tsk", list));
    EXPECT_EQ(readFile(dir / "plain"), "x");
}

struct BadFile {
    const char* what;
    std::function<void(std::string&)> damage;
};

TEST(TaskListFile, MalformedFilesLoadNothing) {
    const std::string record = fixtureRecord();
    const size_t second = 8 + record.size();
    const std::vector<BadFile> cases = {
        {"second record lacks its leading magic", [&](std::string& b) { putU32(b, second, 0x12345678); }},
        {"first record lacks its trailing magic", [&](std::string& b) { putU32(b, second - 4, 0); }},
        {"count beyond the records", [](std::string& b) { putU32(b, 4, 3); }},
        {"count short of the records", [](std::string& b) { putU32(b, 4, 1); }},
        {"byte after the last record", [](std::string& b) { b.push_back('\0'); }},
        {"newest earlier layout", [](std::string& b) { putU32(b, 0, 0xCABDF9E0); }},
        {"oldest earlier layout", [](std::string& b) { putU32(b, 0, 0xBFDFAEAC); }},
        {"earlier layout", [](std::string& b) { putU32(b, 0, 0xBFDFAEBA); }},
        {"empty file", [](std::string& b) { b.clear(); }},
        {"negative count", [](std::string& b) { putU32(b, 4, 0xFFFFFFFF); }},
        {"huge count", [](std::string& b) { putU32(b, 4, 0x7FFFFFFF); }},
    };
    for (const BadFile& c : cases) {
        std::string bytes = fileOf({record, record});
        c.damage(bytes);
        CTaskList list = sentinelList();
        EXPECT_FALSE(parseTaskList(bytes, list)) << c.what;
        expectSentinel(list);
    }
}

TEST(TaskListFile, ZeroCountFileLoadsEmptyList) {
    CTaskList list = sentinelList();
    ASSERT_TRUE(parseTaskList(fileOf({}), list));
    EXPECT_EQ(list.count(), 0);
}

TEST(TaskListCorruption, EveryTruncationFails) {
    const std::string bytes = twoFullTasksFile();
    for (size_t n = 0; n < bytes.size(); ++n) {
        CTaskList list = sentinelList();
        ASSERT_FALSE(parseTaskList(bytes.substr(0, n), list)) << "cut at " << n;
        expectSentinel(list);
    }
}

TEST(TaskListCorruption, AbsurdLengthsAndCountsFail) {
    FixtureOffsets off;
    fixtureRecord(&off);
    const std::vector<size_t> fields = {
        off.ref_text_length,       off.comment,      off.export_tables_count, off.databases_count,
        off.database_tables_count, off.script_count, off.backups_count,       off.backup_files_count,
        off.restore_files_count};
    for (size_t field : fields) {
        for (uint32_t value : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x80000000u, 0x00100000u}) {
            std::string bytes = fileOf({fixtureRecord()});
            putU32(bytes, 8 + field, value);
            CTaskList list = sentinelList();
            EXPECT_FALSE(parseTaskList(bytes, list)) << "field at " << field << " = " << value;
            expectSentinel(list);
        }
    }
}

TEST(TaskListCorruption, RandomByteFlipsNeverCrash) {
    const std::string original = twoFullTasksFile();
    std::mt19937 rng(20240305);
    std::uniform_int_distribution<size_t> pos(0, original.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255), flips(1, 4);
    int failed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = original;
        for (int i = flips(rng); i > 0; --i) bytes[pos(rng)] = static_cast<char>(byte(rng));
        CTaskList list = sentinelList();
        if (!parseTaskList(bytes, list)) {
            ++failed;
            expectSentinel(list);
        } else {
            EXPECT_EQ(list.count(), 2);
        }
    }
    EXPECT_GT(failed, 0);
}

TEST(NewTasksFile, ThreeAppendsMakeCountThreeAndThreeFramedRecords) {
    TempDir dir;
    const fs::path path = dir / "newtasks.tsk";
    const CTask tasks[3] = {fixtureTask(), fullTask(1), fullTask(2)};
    for (const CTask& t : tasks) ASSERT_TRUE(appendNewTask(path, t));

    const std::string bytes = readFile(path);
    EXPECT_EQ(getU32(bytes, 0), 0xDABDFE90u);
    EXPECT_EQ(getU32(bytes, 4), 3u);
    size_t at = 8;
    for (const CTask& t : tasks) {
        const std::string record = serializeTask(t);
        ASSERT_LE(at + record.size(), bytes.size());
        EXPECT_EQ(bytes.substr(at, record.size()), record);
        EXPECT_EQ(getU32(bytes, at), 0xDABDFE90u);
        EXPECT_EQ(getU32(bytes, at + record.size() - 4), 0xDABDFE90u);
        at += record.size();
    }
    EXPECT_EQ(at, bytes.size());
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    CTaskList list;
    ASSERT_TRUE(loadTaskList(path, list));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(1), fullTask(1));
}

TEST(NewTasksFile, EmptyExistingFileIsStartedAfresh) {
    TempDir dir;
    writeFile(dir / "newtasks.tsk", "");
    ASSERT_TRUE(appendNewTask(dir / "newtasks.tsk", fixtureTask()));
    EXPECT_EQ(readFile(dir / "newtasks.tsk"), fileOf({fixtureRecord()}));
}

// A file that is not one of ours is refused, never overwritten.
TEST(NewTasksFile, ForeignFileIsLeftUntouched) {
    const std::vector<std::string> foreign = {
        "hello",                                               // shorter than magic and count
        std::string("\xE0\xF9\xBD\xCA\x01\0\0\0payload", 15),  // another magic
        std::string("\x90\xFE\xBD\xDA\xFF\xFF\xFF\xFF", 8),    // our magic, negative count
        std::string("\x90\xFE\xBD\xDA\xFF\xFF\xFF\x7F", 8),    // count cannot grow
    };
    for (const std::string& content : foreign) {
        TempDir dir;
        writeFile(dir / "newtasks.tsk", content);
        EXPECT_FALSE(appendNewTask(dir / "newtasks.tsk", fixtureTask()));
        EXPECT_EQ(readFile(dir / "newtasks.tsk"), content);
    }
    EXPECT_FALSE(appendNewTask("", fixtureTask()));
}

// Saves from several threads while a worker updates its task's guarded
// fields: every save leaves a complete, loadable file.
TEST(TaskListFile, ConcurrentSavesStayWhole) {
    TempDir dir;
    const fs::path path = dir / "t.tsk";
    CTask live = fullTask(1);
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        for (int i = 0; !stop; ++i) {
            std::lock_guard lock(live.mutex());
            live.last_run.minute = i % 60;
            live.backups.push_back(CBackupRecord{});
            if (live.backups.size() > 5) live.backups.erase(live.backups.begin());
        }
    });
    std::vector<std::thread> savers;
    std::atomic<int> failures{0};
    for (int s = 0; s < 3; ++s) {
        savers.emplace_back([&] {
            for (int i = 0; i < 15; ++i) {
                if (!saveTasks(path, {&live})) ++failures;
            }
        });
    }
    for (auto& t : savers) t.join();
    stop = true;
    worker.join();
    EXPECT_EQ(failures.load(), 0);
    CTaskList list;
    ASSERT_TRUE(loadTaskList(path, list));
    EXPECT_EQ(list.count(), 1);
}

}  // namespace
}  // namespace keelvault
