#include <gtest/gtest.h>

#include "check_expect.h"
#include "core/editing/server_block_rules.h"
#include "core/editing/server_dialog_rules.h"

namespace keelvault {
namespace {

using test::accepted;
using test::refused;

ServerBlockTexts blockWithPort(const std::string& port) {
    ServerBlockTexts texts;
    texts.host = "db.example";
    texts.port = port;
    return texts;
}

constexpr const char* kRangeMessage = "Please input a number between 1 and 65535!";

TEST(ServerBlockRules, PortTexts) {
    struct Case {
        std::string port;
        int32_t accepted_as;  // 0: refused
        const char* message;
    };
    const char* digits = "The port must be a number between 1 and 65535!";
    const std::vector<Case> cases = {
        {"080", 80, nullptr},
        {"3306", 3306, nullptr},
        {"1", 1, nullptr},
        {"65535", 65535, nullptr},
        {"8o", 0, digits},
        {" 80", 0, digits},
        {"80 ", 0, digits},
        {"-1", 0, digits},
        {"0", 0, kRangeMessage},
        {"", 0, kRangeMessage},
        {"65536", 0, kRangeMessage},
        {"99999", 0, kRangeMessage},
        // Longer than the edit allows, as another caller may hand it over: never wraps into range.
        {"4294967377", 0, kRangeMessage},
        {"00000000000000000000080", 80, nullptr},
    };
    for (const Case& c : cases) {
        const auto result = checkServerBlock(blockWithPort(c.port));
        if (c.accepted_as != 0) {
            ASSERT_TRUE(accepted(result)) << "port \"" << c.port << "\"";
            EXPECT_EQ(result.value().port, c.accepted_as) << "port \"" << c.port << "\"";
        } else {
            EXPECT_TRUE(refused(result, c.message, ServerBlockField::Port)) << "port \"" << c.port << "\"";
        }
    }
}

TEST(ServerBlockRules, HostFirstThenTheValueHoldsOnlyTheBlock) {
    ServerBlockTexts texts = blockWithPort("x");
    texts.host.clear();
    EXPECT_TRUE(refused(checkServerBlock(texts), "Please input the Host name or IP address!", ServerBlockField::Host));

    CServerSettings stored;
    stored.connection_name = "prod";
    stored.host = "10.1.1.1";
    stored.port = 3307;
    stored.user = "";
    stored.password = "";
    stored.database = "sakila";
    stored.comment = "note";
    stored.save_password = 1;
    stored.use_ssl = 1;
    const auto result = checkServerBlock(serverBlockTexts(stored));
    ASSERT_TRUE(accepted(result));  // empty user and password pass
    CServerSettings expected;
    expected.connection_name = "prod";
    expected.host = "10.1.1.1";
    expected.port = 3307;
    expected.user = "";
    expected.use_ssl = 1;
    EXPECT_EQ(result.value(), expected);  // database, comment and save-password cleared
}

TEST(ServerBlockRules, DestinationMustNotBeTheSourceServer) {
    CServerSettings source;
    source.host = "db1";
    source.port = 3306;
    CServerSettings destination = source;
    destination.database = "other";
    const char* message = "The destination server can't same as the source server!";
    for (int type : {kTypeBackupToServer, kTypeRestoreFromServer}) {
        EXPECT_TRUE(refused(checkDestinationNotSource(destination, source, type), message, ServerBlockField::Host));
    }
    EXPECT_TRUE(accepted(checkDestinationNotSource(destination, source, kTypeRestoreFromFiles)));
    destination.host = "DB1";
    EXPECT_TRUE(accepted(checkDestinationNotSource(destination, source, kTypeBackupToServer)));
    destination.host = "db1";
    destination.port = 3307;
    EXPECT_TRUE(accepted(checkDestinationNotSource(destination, source, kTypeBackupToServer)));
}

TEST(ServerBlockRules, FocusAfterAConnectionGoesToTheFirstMissingField) {
    CServerSettings s;
    s.host = "";
    EXPECT_EQ(firstFieldNeedingInput(s), ServerBlockField::Host);
    s.host = "h";
    s.port = 0;
    EXPECT_EQ(firstFieldNeedingInput(s), ServerBlockField::Port);
    s.port = 70000;
    EXPECT_EQ(firstFieldNeedingInput(s), ServerBlockField::Port);
    s.port = 3306;
    s.user = "";
    EXPECT_EQ(firstFieldNeedingInput(s), ServerBlockField::User);
    s.user = "root";
    EXPECT_EQ(firstFieldNeedingInput(s), ServerBlockField::Password);
    s.password = "pw";
    EXPECT_EQ(firstFieldNeedingInput(s), ServerBlockField::None);
}

ServerDialogTexts dialogTexts() {
    ServerDialogTexts t;
    t.connection_name = "prod";
    t.host = "db1";
    t.port = "3306";
    t.user = "admin";
    t.save_password = true;
    t.password = "secret";
    t.comment = "main";
    return t;
}

TEST(ServerDialogRules, ChecksRunInOrderWithTheirFocus) {
    const std::vector<CServerSettings> saved;
    struct Case {
        const char* what;
        void (*change)(ServerDialogTexts&);
        const char* message;
        ServerDialogField focus;
    };
    const std::vector<Case> cases = {
        {"no name, no host",
         [](ServerDialogTexts& t) {
             t.connection_name.clear();
             t.host.clear();
         },
         "Please input the Connection Name!", ServerDialogField::ConnectionName},
        {"no host, bad port",
         [](ServerDialogTexts& t) {
             t.host.clear();
             t.port = "x";
         },
         "Please input the Server name or IP address!", ServerDialogField::Host},
        {"letter in port", [](ServerDialogTexts& t) { t.port = "33o6"; }, "Port must be a number between 1 and 65535!",
         ServerDialogField::Port},
        {"empty port", [](ServerDialogTexts& t) { t.port.clear(); }, kRangeMessage, ServerDialogField::Port},
        {"port 65536", [](ServerDialogTexts& t) { t.port = "65536"; }, kRangeMessage, ServerDialogField::Port},
        {"saved password without user",
         [](ServerDialogTexts& t) {
             t.user.clear();
             t.password.clear();
         },
         "Please input the username!", ServerDialogField::User},
        {"saved password empty", [](ServerDialogTexts& t) { t.password.clear(); }, "Please input the password!",
         ServerDialogField::Password},
    };
    for (const Case& c : cases) {
        ServerDialogTexts texts = dialogTexts();
        c.change(texts);
        EXPECT_TRUE(refused(checkServerDialog(texts, ServerDialogMode::Add, saved), c.message, c.focus)) << c.what;
    }

    ServerDialogTexts unsaved = dialogTexts();
    unsaved.save_password = false;
    unsaved.user.clear();
    const auto result = checkServerDialog(unsaved, ServerDialogMode::Add, saved);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().password, "");  // kept only when saved
    EXPECT_EQ(result.value().save_password, 0);
    EXPECT_EQ(result.value().comment, "main");
}

TEST(ServerDialogRules, AddRefusesASavedNameEditDoesNot) {
    CServerSettings other;
    other.connection_name = "prod";
    const std::vector<CServerSettings> saved = {other};
    EXPECT_TRUE(refused(checkServerDialog(dialogTexts(), ServerDialogMode::Add, saved),
                        "The connection name is already existed!", ServerDialogField::ConnectionName));
    ServerDialogTexts other_case = dialogTexts();
    other_case.connection_name = "Prod";
    EXPECT_TRUE(accepted(checkServerDialog(other_case, ServerDialogMode::Add, saved)));
    const auto edited = checkServerDialog(dialogTexts(), ServerDialogMode::Edit, saved);
    ASSERT_TRUE(accepted(edited));
    EXPECT_EQ(edited.value().password, "secret");
    EXPECT_EQ(edited.value().save_password, 1);
}

TEST(ServerDialogRules, TestConnectionUsesTheBlockHostWordingAndTheDialogPortWording) {
    ServerDialogTexts texts = dialogTexts();
    texts.connection_name.clear();  // not needed to test
    texts.port = "1o";
    EXPECT_TRUE(refused(checkServerDialogConnection(texts), "Port must be a number between 1 and 65535!",
                        ServerDialogField::Port));
    texts.host.clear();
    EXPECT_TRUE(refused(checkServerDialogConnection(texts), "Please input the Host name or IP address!",
                        ServerDialogField::Host));
}

TEST(ServerDialogRules, OpeningShowsAUsablePortAndOnlyASavedPassword) {
    CServerSettings s;
    s.port = 0;
    s.password = "left over";
    EXPECT_EQ(serverDialogTexts(s).port, "3306");
    EXPECT_EQ(serverDialogTexts(s).password, "");
    s.port = 65536;
    EXPECT_EQ(serverDialogTexts(s).port, "3306");
    s.port = 3307;
    s.save_password = 1;
    EXPECT_EQ(serverDialogTexts(s).port, "3307");
    EXPECT_EQ(serverDialogTexts(s).password, "left over");
}

TEST(ServerDialogRules, ManagerCommandsNeedARow) {
    EXPECT_TRUE(refused(checkServerItemChosen(-1), "Please choose a server item!", ServerDialogField::List));
    EXPECT_TRUE(accepted(checkServerItemChosen(0)));
}

}  // namespace
}  // namespace keelvault
