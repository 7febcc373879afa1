#include "core/editing/server_catalogue.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/engine/mysql_session.h"
#include "support/silent_port.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

using Clock = std::chrono::steady_clock;

using test::SilentPort;

CServerSettings local(int port) {
    CServerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    return settings;
}

// A database with a table and a view, one the test user may not use, and
// that user, who sees every database name.
class CatalogueServer : public ::testing::Test {
protected:
    std::string db = "kv_catalogue_" + std::to_string(getpid());
    std::string locked = db + "_locked";
    // Each test runs in a process of its own, at the same time as others.
    std::string user = "kv_catalogue_" + std::to_string(getpid()) + "_user";
    MySqlSession admin;

    void SetUp() override {
        KEELVAULT_REQUIRE_SERVER(1);
        ASSERT_TRUE(admin.open(test::testServerSettings(1)));
        for (const std::string& sql :
             {"DROP DATABASE IF EXISTS `" + db + "`", "DROP DATABASE IF EXISTS `" + locked + "`",
              "CREATE DATABASE `" + db + "`", "CREATE DATABASE `" + locked + "`",
              "CREATE TABLE `" + db + "`.items (id INT PRIMARY KEY)",
              "CREATE VIEW `" + db + "`.item_ids AS SELECT id FROM `" + db + "`.items",
              "CREATE TABLE `" + locked + "`.secret (id INT)", "DROP USER IF EXISTS '" + user + "'@'%'",
              "CREATE USER '" + user + "'@'%' IDENTIFIED BY 'pw'", "GRANT SHOW DATABASES ON *.* TO '" + user + "'@'%'",
              "GRANT SELECT, SHOW VIEW ON `" + db + "`.* TO '" + user + "'@'%'"}) {
            ASSERT_TRUE(admin.execute(sql)) << sql << ": " << admin.errorText();
        }
    }
    void TearDown() override {
        if (!admin.isOpen()) return;
        admin.execute("DROP DATABASE IF EXISTS `" + db + "`");
        admin.execute("DROP DATABASE IF EXISTS `" + locked + "`");
        admin.execute("DROP USER IF EXISTS '" + user + "'@'%'");
    }

    CServerSettings asUser() const {
        CServerSettings settings = test::testServerSettings(1);
        settings.user = user;
        settings.password = "pw";
        return settings;
    }
};

TEST_F(CatalogueServer, EntriesCarryKindsAndALockedDatabaseStaysWithoutTables) {
    ServerCallControl control;
    const CatalogueLoad load = loadServerCatalogue(asUser(), CatalogueShape::DatabaseEntries, control);
    ASSERT_TRUE(load.error.ok()) << load.error.text;
    const auto& entries = load.catalogue.databases;
    auto entry = [&](const std::string& name) {
        return std::find_if(entries.begin(), entries.end(), [&](const CDatabaseItem& d) { return d.name == name; });
    };
    ASSERT_NE(entry(db), entries.end());
    ASSERT_NE(entry(locked), entries.end());
    EXPECT_TRUE(entry(locked)->tables.empty());
    const std::vector<CTableItem> expected = {{0, 2, db, "item_ids"}, {0, 1, db, "items"}};
    EXPECT_EQ(entry(db)->tables, expected);
    EXPECT_EQ(entry(db)->selected, 0);
    EXPECT_TRUE(load.catalogue.tables.empty());

    const CatalogueLoad flat = loadServerCatalogue(asUser(), CatalogueShape::FlatLists, control);
    ASSERT_TRUE(flat.error.ok());
    EXPECT_TRUE(flat.catalogue.databases.empty());
    EXPECT_NE(std::find(flat.catalogue.database_names.begin(), flat.catalogue.database_names.end(), locked),
              flat.catalogue.database_names.end());
    std::vector<CTableItem> ours;
    for (const CTableItem& t : flat.catalogue.tables) {
        if (t.database == db || t.database == locked) ours.push_back(t);
    }
    EXPECT_EQ(ours, expected);
}

TEST_F(CatalogueServer, OneDatabaseOrTheReasonItCannotBeUsed) {
    ServerCallControl control;
    const CatalogueLoad tables = loadDatabaseTables(asUser(), db, control);
    ASSERT_TRUE(tables.error.ok());
    EXPECT_EQ(tables.catalogue.tables.size(), 2u);

    const CatalogueLoad refused = loadDatabaseTables(asUser(), locked, control);
    EXPECT_EQ(refused.error.failure, ServerCallFailure::UseDatabase);
    EXPECT_EQ(refused.error.number, 1044u);  // access denied to the database
    EXPECT_EQ(useDatabaseFailedText(refused.error.number, refused.error.text),
              "Failed to use the database!\n\nError NO. 1044\n" + refused.error.text);

    const ConnectionTest test = testServerConnection(asUser(), control);
    ASSERT_TRUE(test.error.ok());
    EXPECT_NE(test.version.find("MariaDB"), std::string::npos) << test.version;
}

TEST(ServerCalls, AClosedPortFailsWithTheClientsError) {
    int port = 0;
    {
        SilentPort reserved;  // a free port, closed again at the end of the block
        port = reserved.port();
    }
    ServerCallControl control;
    const ConnectionTest test = testServerConnection(local(port), control);
    EXPECT_EQ(test.error.failure, ServerCallFailure::Connect);
    EXPECT_TRUE(test.error.number == 2002 || test.error.number == 2003) << test.error.number;
    EXPECT_FALSE(test.error.text.empty());
}

TEST(ServerCalls, AServerThatNeverAnswersGivesUpAtTheTimeOut) {
    SilentPort silent;
    ServerCallControl control(1);
    const auto start = Clock::now();
    const ConnectionTest test = testServerConnection(local(silent.port()), control);
    const auto took = Clock::now() - start;
    EXPECT_EQ(test.error.failure, ServerCallFailure::Connect);
    EXPECT_LT(took, std::chrono::seconds(8));
}

TEST(ServerCalls, CancelEndsAWaitingCallAtOnce) {
    SilentPort silent;
    ServerCallControl control(30);
    ConnectionTest test;
    std::thread worker([&] { test = testServerConnection(local(silent.port()), control); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = Clock::now();
    control.cancel();
    worker.join();
    EXPECT_EQ(test.error.failure, ServerCallFailure::Cancelled);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace keelvault
