// The data folder, atomic saves and the service probe.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/platform/data_folder.h"
#include "core/platform/service_probe.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(DataFolder, FollowsXdgDataHomeAndCreatesItsFolders) {
    test::ScopedDataHome home;
    EXPECT_EQ(dataFolder(), home.dataFolder());
    ASSERT_TRUE(ensureDataFolders(dataFolder()));
    EXPECT_TRUE(fs::is_directory(dataFolder() / "Data"));
    EXPECT_TRUE(fs::is_directory(dataFolder() / "Logs"));
    EXPECT_EQ(tasksFilePath(dataFolder()).filename(), "tasks_pro.tsk");
    EXPECT_EQ(optionsFilePath(dataFolder()).filename(), "opt_pro.dll");
    EXPECT_EQ(serverListFilePath(dataFolder()).filename(), "myserver.dll");
}

TEST(AtomicWrite, ReplacesWholeFileOwnerOnlyAndLeavesNoTemporaries) {
    TempDir dir;
    const fs::path file = dir / "tasks_pro.tsk";
    test::writeFile(file, "old contents");
    ASSERT_TRUE(writeFileAtomically(file, "new"));
    EXPECT_EQ(test::readFile(file), "new");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(AtomicWrite, FailureKeepsTheOldFile) {
    TempDir dir;
    const fs::path file = dir / "opt_pro.dll";
    test::writeFile(file, "precious");
    // A folder in the file's place cannot be renamed over: the write fails
    // after the temporary was written, and the temporary is removed again.
    const fs::path blocked = dir / "blocked";
    fs::create_directories(blocked / "inner");
    EXPECT_FALSE(writeFileAtomically(blocked, "data"));
    EXPECT_TRUE(fs::is_directory(blocked / "inner"));
    // A missing folder cannot hold the temporary.
    EXPECT_FALSE(writeFileAtomically(dir / "no" / "such" / "file", "data"));
    EXPECT_EQ(test::readFile(file), "precious");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 2);
}

TEST(ServiceProbe, UnitStatesThatCountAsRunning) {
    const struct {
        const char* state;
        bool running;
    } cases[] = {{"active", true},   {"activating", true}, {"reloading", true}, {"inactive", false},
                 {"failed", false},  {"deactivating", false}, {"", false}, {"maintenance", false}};
    for (const auto& c : cases) EXPECT_EQ(isRunningUnitState(c.state), c.running) << c.state;
}

TEST(ServiceProbe, LockMarksTheServiceAsRunning) {
    TempDir dir;
    EXPECT_FALSE(serviceLockHeld(dir.path()));
    EXPECT_FALSE(probeServiceRunning(dir.path()));  // no unit on a test machine, no lock
    {
        ServiceLock lock;
        ASSERT_TRUE(lock.acquire(dir.path()));
        EXPECT_TRUE(serviceLockHeld(dir.path()));
        EXPECT_TRUE(probeServiceRunning(dir.path()));
        ServiceLock second;
        EXPECT_FALSE(second.acquire(dir.path()));
    }
    // A lock file left behind by a service that ended is not a running service.
    EXPECT_TRUE(fs::exists(dir / kServiceLockFileName));
    EXPECT_FALSE(serviceLockHeld(dir.path()));
    EXPECT_FALSE(probeServiceRunning(dir.path()));
}

}  // namespace
}  // namespace keelvault
