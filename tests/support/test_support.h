#pragma once

#include <filesystem>
#include <string>

#include "core/model/task.h"
#include "core/model/task_time.h"

namespace keelvault::test {

// A fresh folder under the system temp folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Points XDG_DATA_HOME at a temporary folder for the life of the object, so
// the data folder of the code under test is a throwaway one.
class ScopedDataHome {
public:
    ScopedDataHome();
    ~ScopedDataHome();
    std::filesystem::path dataFolder() const;  // <temp>/keelvault

private:
    TempDir dir_;
    std::string old_;
    bool had_old_ = false;
};

// The MariaDB test servers started by scripts/test-servers.sh, from
// KEELVAULT_TEST_DB_HOST, KEELVAULT_TEST_DB_PORT1, KEELVAULT_TEST_DB_PORT2 and
// KEELVAULT_TEST_DB_USER.
struct TestServers {
    std::string host = "127.0.0.1";
    int port1 = 0;
    int port2 = 0;
    std::string user = "root";
    bool configured = false;
};
TestServers testServers();

// Server settings for the first (which = 1) or second (which = 2) test server.
CServerSettings testServerSettings(int which);

// True when the server answers. Tests that need a server call
// KEELVAULT_REQUIRE_SERVER(which): with CI=true a missing server is a failure,
// elsewhere the test is skipped.
bool serverReachable(int which);
bool serversRequired();

// A local time with its day of week filled in.
inline TaskTime makeTime(int32_t year, int32_t month, int32_t day, int32_t hour = 0, int32_t minute = 0,
                         int32_t second = 0) {
    TaskTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.day_of_week = dayOfWeek(year, month, day);
    return t;
}

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace keelvault::test

#define KEELVAULT_REQUIRE_SERVER(which)                                                             \
    do {                                                                                            \
        if (!::keelvault::test::serverReachable(which)) {                                           \
            if (::keelvault::test::serversRequired()) {                                             \
                FAIL() << "MariaDB test server " << (which) << " is not reachable (CI requires it)"; \
            } else {                                                                                \
                GTEST_SKIP() << "MariaDB test server " << (which) << " is not reachable";           \
            }                                                                                       \
        }                                                                                           \
    } while (0)
