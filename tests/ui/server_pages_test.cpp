#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

#include "core/engine/mysql_session.h"
#include "page_fixture.h"
#include "support/sample_database.h"
#include "support/silent_port.h"
#include "support/test_support.h"
#include "ui/dialogs/connection_failed_dialog.h"
#include "ui/dialogs/server_dialog.h"
#include "ui/wizard/choose_databases_page.h"
#include "ui/wizard/number_spin.h"
#include "ui/wizard/server_block.h"
#include "ui/wizard/server_call.h"
#include "ui/wizard/server_page.h"

namespace keelvault::test {
namespace {

using ui::PageMode;
using ui::ServerPageContent;
using ui::ServerPageRole;

using test::SilentPort;

int closedPort() {
    SilentPort reserved;
    return reserved.port();
}

class ServerPageTest : public PageTest {
protected:
    void fillBlock(ui::ServerBlock* block, const std::string& host, int port, const std::string& user = "root") {
        typeInto(block->hostField(), QString::fromStdString(host));
        typeInto(block->portField(), QString::number(port));
        typeInto(block->userField(), QString::fromStdString(user));
    }
};

TEST_F(ServerPageTest, PortTextsThroughTheBlock) {
    struct Case {
        const char* port;
        const char* message;  // nullptr: accepted
        int value;
    };
    const Case cases[] = {{"080", nullptr, 80},
                          {"65535", nullptr, 65535},
                          {"8o", "The port must be a number between 1 and 65535!", 0},
                          {"0", "Please input a number between 1 and 65535!", 0},
                          {"", "Please input a number between 1 and 65535!", 0},
                          {"65536", "Please input a number between 1 and 65535!", 0},
                          {"99999", "Please input a number between 1 and 65535!", 0}};
    for (const Case& c : cases) {
        task = CTask{};
        prompter.messages.clear();
        auto content = page<ServerPageContent>(PageMode::Edit, ServerPageRole::Source);
        typeInto(content->block()->portField(), QString::fromLatin1(c.port));
        const bool left = content->leave();
        if (!c.message) {
            EXPECT_TRUE(left) << c.port;
            EXPECT_EQ(task.source.port, c.value);
        } else {
            EXPECT_FALSE(left) << c.port;
            EXPECT_EQ(lastText(), QString::fromLatin1(c.message)) << c.port;
            EXPECT_EQ(task.source.port, 3306);  // nothing stored
        }
    }
    // A sixth digit cannot be typed.
    auto content = page<ServerPageContent>(PageMode::Edit, ServerPageRole::Source);
    content->block()->portField()->clear();
    QTest::keyClicks(content->block()->portField(), QStringLiteral("123456"));
    EXPECT_EQ(content->block()->portField()->text(), QStringLiteral("12345"));
}

TEST_F(ServerPageTest, DestinationMustNotBeTheSource) {
    struct Case {
        int type;
        const char* host;
        int port;
        bool accepted;
    };
    const Case cases[] = {{kTypeBackupToServer, "db1", 3306, false},
                          {kTypeRestoreFromServer, "db1", 3306, false},
                          {kTypeBackupToServer, "DB1", 3306, true},
                          {kTypeBackupToServer, "db1", 3307, true},
                          {kTypeRestoreFromFiles, "db1", 3306, true}};
    for (const Case& c : cases) {
        task = CTask{};
        task.task_type = static_cast<uint8_t>(c.type);
        task.source.host = "db1";
        prompter.messages.clear();
        auto content = page<ServerPageContent>(PageMode::Wizard, ServerPageRole::Destination);
        fillBlock(content->block(), c.host, c.port);
        typeInto(content->block()->userField(), QString());  // an empty user passes
        EXPECT_EQ(content->leave(), c.accepted) << c.type << " " << c.host;
        if (c.accepted) {
            EXPECT_EQ(task.destination.host, c.host);
            EXPECT_EQ(task.destination.user, "");
        } else {
            EXPECT_EQ(lastText(), QStringLiteral("The destination server can't same as the source server!"));
            EXPECT_EQ(task.destination, CServerSettings{});
        }
    }
}

TEST_F(ServerPageTest, SavedConnectionsFillTheBlockAndNewSavesAtOnce) {
    CServerSettings saved;
    saved.connection_name = "prod";
    saved.host = "10.0.0.5";
    saved.port = 3310;
    saved.user = "maint";
    saved.password = "";
    saved.use_ssl = 1;
    servers.push_back(saved);
    QWidget window;
    auto* content = new ServerPageContent(context, PageMode::Wizard, ServerPageRole::Source, false, &window);
    content->enter();
    window.show();
    ui::ServerBlock* block = content->block();
    ASSERT_EQ(block->connections()->count(), 1);
    block->chooseConnection(0);
    EXPECT_EQ(block->hostField()->text(), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(block->portField()->text(), QStringLiteral("3310"));
    EXPECT_TRUE(block->sslBox()->isChecked());
    EXPECT_EQ(window.focusWidget(), block->passwordField());  // the first field still empty

    prompter.on_dialog = [](QDialog& dialog) {
        auto& server = static_cast<ui::ServerDialog&>(dialog);
        server.connectionNameField()->setText(QStringLiteral("local"));
        server.hostField()->setText(QStringLiteral("127.0.0.1"));
        server.userField()->setText(QStringLiteral("root"));
        server.okButton()->click();
        return dialog.result();
    };
    block->newButton()->click();
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(server_saves, 1);
    EXPECT_EQ(block->connections()->currentText(), QStringLiteral("local"));
    EXPECT_EQ(block->hostField()->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(block->portField()->text(), QStringLiteral("3306"));
}

class ConnectionTestTest : public ServerPageTest {
protected:
    QString failureText;
    void SetUp() override {
        prompter.on_dialog = [this](QDialog& dialog) {
            if (auto* failed = qobject_cast<ui::ConnectionFailedDialog*>(&dialog)) {
                failureText = failed->text();
                failed->howToConnectButton()->click();
            }
            return 0;
        };
    }
};

TEST_F(ConnectionTestTest, SuccessShowsTheServersVersion) {
    KEELVAULT_REQUIRE_SERVER(1);
    const CServerSettings server = testServerSettings(1);
    auto content = page<ServerPageContent>(PageMode::Wizard, ServerPageRole::Source);
    fillBlock(content->block(), server.host, server.port, server.user);
    content->block()->testButton()->click();
    MySqlSession session;
    ASSERT_TRUE(session.open(server));
    ASSERT_TRUE(prompter.last());
    EXPECT_EQ(
        prompter.last()->text,
        QString::fromStdString("Connect to the MySQL server successfully!\n\nMySQL version: " + session.versionText()));
    EXPECT_EQ(prompter.last()->icon, ui::PromptIcon::Information);
    EXPECT_EQ(task.source, CServerSettings{});  // a test stores nothing
}

TEST_F(ConnectionTestTest, AClosedPortShowsTheFailureDialog) {
    auto content = page<ServerPageContent>(PageMode::Wizard, ServerPageRole::Source);
    fillBlock(content->block(), "127.0.0.1", closedPort());
    content->block()->testButton()->click();
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(failureText.startsWith(QStringLiteral("Failed to connect to the MySQL server!\n\nError NO. 200")))
        << failureText.toStdString();
    EXPECT_TRUE(failureText.contains(QStringLiteral("127.0.0.1")));
    ASSERT_EQ(prompter.opened.size(), 1u);
    EXPECT_TRUE(prompter.opened[0].toString().endsWith(QStringLiteral("howtoconnect.html")));
}

TEST_F(ConnectionTestTest, ASilentServerTimesOutWhileTheWindowKeepsPainting) {
    SilentPort silent;
    ui::ServerCallRunner::setTimeoutSeconds(2);
    auto content = page<ServerPageContent>(PageMode::Wizard, ServerPageRole::Source);
    fillBlock(content->block(), "127.0.0.1", silent.port());
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    QElapsedTimer clock;
    clock.start();
    content->block()->testButton()->click();
    const qint64 took = clock.elapsed();
    ui::ServerCallRunner::setTimeoutSeconds(kInteractiveTimeoutSeconds);
    EXPECT_LT(took, 8000);
    EXPECT_GT(ticks, 10);  // the event loop ran all the while
    EXPECT_TRUE(failureText.startsWith(QStringLiteral("Failed to connect to the MySQL server!")));
}

TEST_F(ConnectionTestTest, CancelGivesUpOnASilentServer) {
    SilentPort silent;
    auto content = page<ServerPageContent>(PageMode::Wizard, ServerPageRole::Source);
    fillBlock(content->block(), "127.0.0.1", silent.port());
    bool saw_window = false;
    QTimer::singleShot(700, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<QProgressDialog*>(w); window && window->isVisible()) {
                saw_window = true;
                if (auto* button = window->findChild<QPushButton*>()) button->click();
            }
        }
    });
    QElapsedTimer clock;
    clock.start();
    content->block()->testButton()->click();
    EXPECT_TRUE(saw_window);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(failureText.isEmpty());  // a cancel reports nothing
    EXPECT_TRUE(prompter.messages.empty());
}

// The sample database and one the user may not use, for catalogue loading.
class CatalogueLoadingTest : public ServerPageTest {
protected:
    static inline std::string sample = "kv_pages_sakila";
    // Each test runs in a process of its own, at the same time as others.
    std::string locked = "kv_pages_locked_" + std::to_string(getpid());
    std::string user = "kv_pages_user_" + std::to_string(getpid());
    MySqlSession admin;

    void SetUp() override {
        KEELVAULT_REQUIRE_SERVER(1);
        ASSERT_TRUE(admin.open(testServerSettings(1)));
        // One process loads the sample; the others wait for it.
        std::string locked_load;
        ASSERT_TRUE(admin.queryValue("SELECT GET_LOCK('kv_pages_sample_load', 900)", locked_load) &&
                    locked_load == "1");
        std::string exists;
        if (!admin.queryValue("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + sample + "'",
                              exists) ||
            exists == "0") {
            const TestServers s = testServers();
            const std::string client =
                "mariadb --no-defaults -h" + s.host + " -P" + std::to_string(s.port1) + " -u" + s.user;
            ASSERT_TRUE(admin.execute("CREATE DATABASE IF NOT EXISTS `" + sample + "`"));
            for (const char* part : {"schema", "data"}) {
                const std::string command =
                    sakilaCatCommand(part) + " | sed 's/\\bsakila\\b/" + sample + "/g' | " + client;
                ASSERT_EQ(std::system(command.c_str()), 0);
            }
        }
        admin.execute("DO RELEASE_LOCK('kv_pages_sample_load')");
        for (const std::string& sql :
             {"DROP DATABASE IF EXISTS `" + locked + "`", "CREATE DATABASE `" + locked + "`",
              "CREATE TABLE `" + locked + "`.secret (id INT)", "DROP USER IF EXISTS '" + user + "'@'%'",
              "CREATE USER '" + user + "'@'%'", "GRANT SHOW DATABASES ON *.* TO '" + user + "'@'%'",
              "GRANT SELECT, SHOW VIEW ON `" + sample + "`.* TO '" + user + "'@'%'"}) {
            ASSERT_TRUE(admin.execute(sql)) << sql;
        }
    }
    void TearDown() override {
        if (!admin.isOpen()) return;
        admin.execute("DROP DATABASE IF EXISTS `" + locked + "`");
        admin.execute("DROP USER IF EXISTS '" + user + "'@'%'");
    }
};

TEST_F(CatalogueLoadingTest, LeavingABackupSourcePageLoadsKindsAndSkipsALockedDatabase) {
    task.task_type = kTypeBackupToFiles;
    auto content = page<ServerPageContent>(PageMode::Wizard, ServerPageRole::Source, true);
    const CServerSettings server = testServerSettings(1);
    fillBlock(content->block(), server.host, server.port, user);
    ASSERT_TRUE(content->leave());
    EXPECT_EQ(task.source.user, user);
    EXPECT_EQ(cache.generation, 1);
    const auto& entries = cache.catalogue.databases;
    auto entry = [&](const std::string& name) {
        return std::find_if(entries.begin(), entries.end(), [&](const CDatabaseItem& d) { return d.name == name; });
    };
    ASSERT_NE(entry(locked), entries.end());
    EXPECT_TRUE(entry(locked)->tables.empty());
    ASSERT_NE(entry(sample), entries.end());
    std::map<std::string, int> kinds;
    for (const CTableItem& t : entry(sample)->tables) kinds[t.table] = t.kind;
    EXPECT_EQ(kinds["actor"], kKindTable);
    EXPECT_EQ(kinds["film"], kKindTable);
    EXPECT_EQ(kinds["actor_info"], kKindView);
    EXPECT_EQ(kinds["customer_list"], kKindView);

    // A failed load keeps the page and the record.
    const CServerSettings before = task.source;
    typeInto(content->block()->portField(), QString::number(closedPort()));
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(task.source, before);
    EXPECT_EQ(cache.generation, 1);
    EXPECT_EQ(prompter.dialogs.back(), QStringLiteral("ConnectionFailedDialog"));
}

}  // namespace
}  // namespace keelvault::test

namespace keelvault::test {
namespace {

TEST_F(CatalogueLoadingTest, RefreshShowsADatabaseCreatedSince) {
    task.task_type = kTypeBackupToFiles;
    task.source = testServerSettings(1);
    const std::string added = "kv_pages_added";
    ASSERT_TRUE(admin.execute("DROP DATABASE IF EXISTS `" + added + "`"));
    auto content = page<ui::ChooseDatabasesContent>(PageMode::Edit);
    EXPECT_EQ(content->tree()->topLevelItemCount(), 0);
    ASSERT_TRUE(admin.execute("CREATE DATABASE `" + added + "`"));
    content->refreshButton()->click();
    EXPECT_EQ(lastText(),
              QStringLiteral("Do you want to refresh the databases and tables on the source MySQL server now?"));
    QStringList names;
    for (int i = 0; i < content->tree()->topLevelItemCount(); ++i) names << content->tree()->topLevelItem(i)->text(0);
    admin.execute("DROP DATABASE IF EXISTS `" + added + "`");
    EXPECT_TRUE(names.contains(QString::fromStdString(added)));
    EXPECT_TRUE(names.contains(QString::fromStdString(sample)));
}

}  // namespace
}  // namespace keelvault::test
