#include "core/engine/mysql_session.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/scheduler/run_context.h"
#include "core/scheduler/task_environment.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

TEST(MySqlSessionRules, ClientFlags) {
    struct Case {
        uint8_t compression, ssl;
        unsigned long flags;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 0}, {1, 0, 32}, {0, 1, 2048}, {1, 1, 2080}}) {
        CServerSettings settings;
        settings.use_compression = c.compression;
        settings.use_ssl = c.ssl;
        EXPECT_EQ(clientFlagsFor(settings), c.flags) << int(c.compression) << int(c.ssl);
    }
}

TEST(MySqlSessionRules, CharsetStatementsByVersion) {
    using Statements = std::vector<std::string>;
    const Statements three_latin1 = {"SET CHARACTER_SET_CLIENT='latin1'", "SET CHARACTER_SET_RESULTS='latin1'",
                                     "SET CHARACTER_SET_CONNECTION='latin1'"};
    struct Case {
        std::string name;
        unsigned long version;
        Statements expected;
        std::string connection;
    };
    const std::vector<Case> cases = {
        {"latin1", 32305, three_latin1, "latin1"},
        {"latin1", 40099, three_latin1, "latin1"},
        {"latin1", 40100, {"SET NAMES 'latin1'"}, "latin1"},
        {"utf8", 50502, {"SET NAMES 'utf8'"}, "utf8"},
        // From 50503 every default is read through utf8mb4 so no character is lost.
        {"utf8", 50503, {"SET NAMES 'utf8mb4'"}, "utf8mb4"},
        {"latin1", 101119, {"SET NAMES 'utf8mb4'"}, "utf8mb4"},
        {"", 40000, {}, ""},
        {"", 101119, {}, ""},
        {"x'y", 40100, {"SET NAMES 'x\\'y'"}, "x'y"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(charsetStatements(c.name, c.version), c.expected) << c.name << " " << c.version;
        EXPECT_EQ(connectionCharsetFor(c.name, c.version), c.connection) << c.name << " " << c.version;
    }
}

TEST(MySqlSessionRules, ConnectTexts) {
    EXPECT_EQ(connectFailedLogText(2002, "refused"), "Failed to connect to the MySQL server!  Error NO. 2002  refused");
    EXPECT_EQ(connectFailedLogText(1045, "denied", ServerRole::Source),
              "Failed to connect to the source MySQL server!  Error NO. 1045  denied");
    EXPECT_EQ(connectFailedLogText(1045, "denied", ServerRole::Destination),
              "Failed to connect to the destination MySQL server!  Error NO. 1045  denied");
    EXPECT_EQ(connectSucceededLogText("10.11.6-MariaDB"),
              "Connect to the MySQL server successfully!  MySQL version: 10.11.6-MariaDB");
    EXPECT_EQ(connectFailedDialogText(2002, "refused"),
              "Failed to connect to the MySQL server!\n\nError NO. 2002\nrefused");
    EXPECT_EQ(connectSucceededDialogText("5.0.1"), "Connect to the MySQL server successfully!\n\nMySQL version: 5.0.1");
}

int unusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);
    close(fd);
    return port;
}

class MySqlSessionServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        KEELVAULT_REQUIRE_SERVER(1);
        ASSERT_TRUE(session_.open(test::testServerSettings(1))) << session_.errorText();
    }
    void TearDown() override {
        if (!session_.isOpen()) return;
        session_.setVersionOverride(0);
        session_.execute("DROP DATABASE IF EXISTS " + database_);
    }

    std::string value(const std::string& sql) {
        std::string v;
        EXPECT_TRUE(session_.queryValue(sql, v)) << sql << ": " << session_.errorText();
        return v;
    }
    std::string variable(const std::string& name) {
        ResultPtr result = session_.storeQuery("SHOW SESSION VARIABLES LIKE '" + name + "'");
        MYSQL_ROW row = result ? mysql_fetch_row(result.get()) : nullptr;
        return row && row[1] ? row[1] : "(none)";
    }
    long setStatementsSent() {
        ResultPtr result = session_.storeQuery("SHOW SESSION STATUS LIKE 'Com_set_option'");
        MYSQL_ROW row = result ? mysql_fetch_row(result.get()) : nullptr;
        return row && row[1] ? std::stol(row[1]) : -1;
    }
    // The three connection variables, which the step must have set.
    void expectConnectionCharset(const std::string& charset) {
        EXPECT_EQ(variable("character_set_client"), charset);
        EXPECT_EQ(variable("character_set_results"), charset);
        EXPECT_EQ(variable("character_set_connection"), charset);
    }

    MySqlSession session_;
    // Per process, so tests running side by side do not share it.
    const std::string database_ = "kv_h4_s_" + std::to_string(::getpid());
};

TEST_F(MySqlSessionServerTest, OpenVersionAndClose) {
    EXPECT_TRUE(session_.isOpen());
    ASSERT_NE(session_.native(), nullptr);
    EXPECT_EQ(session_.errorNumber(), 0u);
    EXPECT_EQ(session_.versionText(), value("SELECT VERSION()"));
    const unsigned long real = session_.versionNumber();
    EXPECT_EQ(real, mysql_get_server_version(session_.native()));
    EXPECT_GE(real, kVersionUtf8mb4);
    EXPECT_TRUE(session_.quotingAllowed());

    session_.setVersionOverride(32305);
    EXPECT_EQ(session_.versionNumber(), 32305u);
    EXPECT_FALSE(session_.quotingAllowed());
    session_.setVersionOverride(32306);
    EXPECT_TRUE(session_.quotingAllowed());

    // The override survives a reconnect; 0 gives the server's own number back.
    session_.close();
    EXPECT_FALSE(session_.isOpen());
    EXPECT_EQ(session_.native(), nullptr);
    std::string v;
    EXPECT_FALSE(session_.queryValue("SELECT 1", v));
    EXPECT_FALSE(session_.execute("SELECT 1"));
    ASSERT_TRUE(session_.open(test::testServerSettings(1)));
    EXPECT_EQ(session_.versionNumber(), 32306u);
    session_.setVersionOverride(0);
    EXPECT_EQ(session_.versionNumber(), real);
}

TEST_F(MySqlSessionServerTest, CompressionFlagReachesTheServer) {
    ResultPtr plain = session_.storeQuery("SHOW SESSION STATUS LIKE 'Compression'");
    ASSERT_TRUE(plain);
    EXPECT_STREQ(mysql_fetch_row(plain.get())[1], "OFF");

    CServerSettings settings = test::testServerSettings(1);
    settings.use_compression = 1;
    MySqlSession compressed;
    ASSERT_TRUE(compressed.open(settings)) << compressed.errorText();
    ResultPtr status = compressed.storeQuery("SHOW SESSION STATUS LIKE 'Compression'");
    ASSERT_TRUE(status);
    EXPECT_STREQ(mysql_fetch_row(status.get())[1], "ON");
}

TEST_F(MySqlSessionServerTest, FailedOpensKeepTheLibraryError) {
    struct Case {
        CServerSettings settings;
        unsigned int error;
        std::string text_part;
    };
    CServerSettings refused = test::testServerSettings(1);
    refused.port = unusedPort();
    CServerSettings denied = test::testServerSettings(1);
    denied.user = "kv_h4_nobody";
    denied.password = "wrong";
    for (const Case& c : std::vector<Case>{{refused, 2002, "Can't connect"}, {denied, 1045, "kv_h4_nobody"}}) {
        MySqlSession session;
        std::vector<MYSQL*> inits, closes;
        session.setConnectionHooks([&](MYSQL* m) { inits.push_back(m); }, [&](MYSQL* m) { closes.push_back(m); });
        EXPECT_FALSE(session.open(c.settings));
        EXPECT_FALSE(session.isOpen());
        EXPECT_EQ(session.errorNumber(), c.error);
        EXPECT_NE(session.errorText().find(c.text_part), std::string::npos) << session.errorText();
        // The handle was announced before connecting and withdrawn before closing.
        ASSERT_EQ(inits.size(), 1u);
        EXPECT_EQ(closes, inits);
        EXPECT_EQ(connectFailedLogText(session.errorNumber(), session.errorText()),
                  "Failed to connect to the MySQL server!  Error NO. " + std::to_string(c.error) + "  " +
                      session.errorText());
    }
}

TEST_F(MySqlSessionServerTest, HooksSeeTheLiveHandle) {
    MySqlSession session;
    MYSQL* announced = nullptr;
    MYSQL* withdrawn = nullptr;
    session.setConnectionHooks([&](MYSQL* m) { announced = m; }, [&](MYSQL* m) { withdrawn = m; });
    ASSERT_TRUE(session.open(test::testServerSettings(1)));
    EXPECT_EQ(announced, session.native());
    EXPECT_EQ(withdrawn, nullptr);
    session.close();
    EXPECT_EQ(withdrawn, announced);

    // A worker's session is known to its run's registry exactly while open.
    TaskEnvironment env;
    CTask task;
    ConnectionRegistry registry;
    std::stop_source stop;
    RunContext context(task, env, stop.get_token(), registry);
    MySqlSession worker;
    worker.registerWith(context);
    ASSERT_TRUE(worker.open(test::testServerSettings(1)));
    EXPECT_EQ(registry.size(), 1u);
    worker.close();
    EXPECT_EQ(registry.size(), 0u);
}

TEST_F(MySqlSessionServerTest, ServerCharsetOnModernServerUsesUtf8mb4) {
    const std::string server_set = value("SELECT @@character_set_server");
    ASSERT_TRUE(session_.execute("SET NAMES 'ascii'"));
    const long before = setStatementsSent();
    const CharsetStep step = session_.applyServerCharset();
    EXPECT_EQ(setStatementsSent() - before, 1);
    EXPECT_EQ(step.name, server_set);
    EXPECT_EQ(step.connection, "utf8mb4");
    expectConnectionCharset("utf8mb4");
    // A 4-byte character survives the connection.
    EXPECT_EQ(value("SELECT CONVERT(UNHEX('F09F9880') USING utf8mb4)"), "\xF0\x9F\x98\x80");
}

TEST_F(MySqlSessionServerTest, ServerCharsetBelow40100SendsThreeStatements) {
    const std::string server_set = value("SELECT @@character_set_server");
    ASSERT_TRUE(session_.execute("SET NAMES 'ascii'"));
    session_.setVersionOverride(40000);
    const long before = setStatementsSent();
    const CharsetStep step = session_.applyServerCharset();
    EXPECT_EQ(setStatementsSent() - before, 3);
    EXPECT_EQ(step.name, server_set);
    EXPECT_EQ(step.connection, server_set);
    expectConnectionCharset(server_set);
}

TEST_F(MySqlSessionServerTest, DatabaseCharsetWithSetNames) {
    ASSERT_TRUE(session_.execute("CREATE DATABASE " + database_ + " DEFAULT CHARACTER SET cp1251"));
    ASSERT_TRUE(session_.selectDatabase(database_));
    ASSERT_TRUE(session_.execute("SET NAMES 'ascii'"));
    session_.setVersionOverride(50000);
    long before = setStatementsSent();
    CharsetStep step = session_.applyDatabaseCharset();
    EXPECT_EQ(setStatementsSent() - before, 1);
    EXPECT_EQ(step.name, "cp1251");
    EXPECT_EQ(step.connection, "cp1251");
    expectConnectionCharset("cp1251");

    session_.setVersionOverride(0);
    step = session_.applyDatabaseCharset();
    EXPECT_EQ(step.name, "cp1251");
    EXPECT_EQ(step.connection, "utf8mb4");
    expectConnectionCharset("utf8mb4");
}

TEST_F(MySqlSessionServerTest, SelectAndListWithKinds) {
    ASSERT_TRUE(session_.execute("CREATE DATABASE " + database_));
    EXPECT_FALSE(session_.selectDatabase("kv_h4_missing"));
    EXPECT_EQ(session_.errorNumber(), 1049u);
    ASSERT_TRUE(session_.selectDatabase(database_));
    ASSERT_TRUE(session_.execute("CREATE TABLE plain (id INT)"));
    ASSERT_TRUE(session_.execute("CREATE TABLE `odd``name` (id INT)"));
    ASSERT_TRUE(session_.execute("CREATE VIEW v_plain AS SELECT id FROM plain"));

    std::vector<std::string> databases;
    ASSERT_TRUE(session_.listDatabases(databases));
    std::vector<std::string> shown;
    {
        ResultPtr result = session_.storeQuery("SHOW DATABASES");
        ASSERT_TRUE(result);
        while (MYSQL_ROW row = mysql_fetch_row(result.get())) shown.emplace_back(row[0]);
    }
    EXPECT_EQ(databases, shown);
    EXPECT_NE(std::find(databases.begin(), databases.end(), database_), databases.end());

    std::vector<TableEntry> tables;
    ASSERT_TRUE(session_.listTables(tables));
    std::vector<std::pair<std::string, int>> got;
    for (const TableEntry& t : tables) got.emplace_back(t.name, t.kind);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::pair<std::string, int>>{{"odd`name", 1}, {"plain", 1}, {"v_plain", 2}}));
    EXPECT_EQ(session_.tableKind("no_such_table"), kKindUnknown);

    // Below 32306 a plain name goes bare; one that cannot stand bare is still quoted.
    session_.setVersionOverride(32305);
    EXPECT_EQ(session_.tableKind("plain"), kKindTable);
    EXPECT_EQ(session_.tableKind("v_plain"), kKindView);
    EXPECT_EQ(session_.tableKind("odd`name"), kKindTable);
}

TEST_F(MySqlSessionServerTest, QueryHelpers) {
    std::string v;
    EXPECT_TRUE(session_.queryValue("SELECT 'a\\0b'", v));
    EXPECT_EQ(v, std::string("a\0b", 3));
    EXPECT_FALSE(session_.queryValue("SELECT NULL", v));
    EXPECT_FALSE(session_.queryValue("SELECT 1 FROM DUAL WHERE 0", v));
    EXPECT_FALSE(session_.queryValue("SELEKT 1", v));
    EXPECT_EQ(session_.errorNumber(), 1064u);
    EXPECT_FALSE(session_.execute("SELEKT 1"));
    // A statement with rows is drained so the next one runs.
    EXPECT_TRUE(session_.execute("SELECT 1 UNION SELECT 2"));
    EXPECT_EQ(value("SELECT 3"), "3");

    ResultPtr rows = session_.useQuery("SELECT 1 UNION SELECT 2");
    ASSERT_TRUE(rows);
    int count = 0;
    while (mysql_fetch_row(rows.get())) ++count;
    EXPECT_EQ(count, 2);
    rows.reset();
    EXPECT_FALSE(session_.storeQuery("SET @x = 1"));
    EXPECT_EQ(value("SELECT @x"), "1");
}

}  // namespace
}  // namespace keelvault
