#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "core/model/server_list_file.h"
#include "ui/dialogs/server_dialog.h"
#include "ui/dialogs/server_manager_dialog.h"
#include "ui/wizard/number_spin.h"
#include "ui_fixture.h"

namespace keelvault::test {
namespace {

CServerSettings saved(const std::string& name, const std::string& host, bool with_password) {
    CServerSettings s;
    s.connection_name = name;
    s.host = host;
    s.port = 3307;
    s.user = "maint";
    s.save_password = with_password ? 1 : 0;
    s.password = with_password ? "secret" : "";
    s.comment = "note " + name;
    return s;
}

// The manager over a list saved to a file, as the desktop keeps it.
class ServerManagerTest : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path file = dir / "myserver.dll";
    std::vector<CServerSettings> servers{saved("alpha", "db1", true), saved("beta", "db2", false)};
    ScriptedPrompter prompter;
    ui::ServerManagerDialog manager{servers, [this] { return saveServerList(file, servers); }, prompter};

    std::vector<QStringList> rows() const {
        std::vector<QStringList> out;
        for (int i = 0; i < manager.list()->topLevelItemCount(); ++i) {
            QStringList texts;
            for (int c = 0; c < 6; ++c) texts << manager.list()->topLevelItem(i)->text(c);
            out.push_back(texts);
        }
        return out;
    }
    // The file on disk, shown as the list shows it.
    std::vector<QStringList> fileRows() const {
        std::vector<CServerSettings> stored;
        EXPECT_TRUE(loadServerList(file, stored));
        std::vector<QStringList> out;
        for (const CServerSettings& s : stored) out.push_back(ui::ServerManagerDialog::rowTexts(s));
        return out;
    }
    void select(int row) { manager.list()->setCurrentItem(manager.list()->topLevelItem(row)); }
    // Answers the next server dialog by filling the name and host and pressing O&K.
    void answerDialog(const QString& name, const QString& host) {
        prompter.on_dialog = [name, host](QDialog& dialog) {
            auto& d = static_cast<ui::ServerDialog&>(dialog);
            d.connectionNameField()->setText(name);
            d.hostField()->setText(host);
            d.okButton()->click();
            return dialog.result();
        };
    }
};

TEST_F(ServerManagerTest, RowsShowTheSixColumnsAndTheDialogHidesAnUnsavedPassword) {
    EXPECT_EQ(rows()[0], (QStringList{"alpha", "db1", "3307", "maint", "****", "note alpha"}));
    EXPECT_EQ(rows()[1], (QStringList{"beta", "db2", "3307", "maint", "NULL", "note beta"}));
    ui::ServerDialog dialog(ui::ServerDialog::Mode::Edit, servers[1], servers, prompter);
    EXPECT_TRUE(dialog.passwordField()->text().isEmpty());
    EXPECT_FALSE(dialog.passwordField()->isEnabled());
    dialog.savePasswordBox()->setChecked(true);
    EXPECT_TRUE(dialog.passwordField()->isEnabled());

    ui::ServerDialog view(ui::ServerDialog::Mode::View, servers[0], servers, prompter);
    EXPECT_FALSE(view.hostField()->isEnabled());
    EXPECT_FALSE(view.portSpin()->isEnabled());
    view.okButton()->click();
    EXPECT_EQ(view.result(), QDialog::Accepted);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(ServerManagerTest, AddRefusesADuplicateNameEditAcceptsOneAndTheFileFollows) {
    answerDialog(QStringLiteral("alpha"), QStringLiteral("db9"));
    manager.addAction()->trigger();
    EXPECT_EQ(prompter.texts(), QStringList{QStringLiteral("The connection name is already existed!")});
    EXPECT_EQ(servers.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(file));

    answerDialog(QStringLiteral("gamma"), QStringLiteral("db3"));
    manager.addAction()->trigger();
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(fileRows(), rows());

    select(2);
    answerDialog(QStringLiteral("beta"), QStringLiteral("db4"));  // another server's name
    manager.editAction()->trigger();
    EXPECT_EQ(servers[2].connection_name, "beta");
    EXPECT_EQ(servers[2].host, "db4");
    EXPECT_EQ(rows()[2][1], QStringLiteral("db4"));
    EXPECT_EQ(fileRows(), rows());

    select(0);
    prompter.answers = {ui::PromptAnswer::No};
    manager.deleteAction()->trigger();
    EXPECT_EQ(servers.size(), 3u);
    manager.deleteAction()->trigger();  // unscripted: Yes
    EXPECT_EQ(prompter.texts().back(), QStringLiteral("Are you sure you wish to DELETE the server information now?"));
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].connection_name, "beta");
    EXPECT_EQ(fileRows(), rows());
}

TEST_F(ServerManagerTest, CommandsNeedARowAndMovesStayInMemory) {
    prompter.messages.clear();
    for (QAction* action : {manager.editAction(), manager.deleteAction(), manager.viewAction(), manager.moveUpAction(),
                            manager.moveDownAction()}) {
        action->trigger();
    }
    EXPECT_EQ(prompter.texts(), QStringList(5, QStringLiteral("Please choose a server item!")));

    saveServerList(file, servers);
    const std::vector<QStringList> before = rows();
    select(0);
    manager.moveUpAction()->trigger();
    EXPECT_EQ(rows(), before);
    manager.moveDownAction()->trigger();
    EXPECT_EQ(servers[0].connection_name, "beta");
    EXPECT_EQ(rows()[1][0], QStringLiteral("alpha"));
    EXPECT_EQ(fileRows(), before);        // not saved
    manager.moveDownAction()->trigger();  // already at the bottom
    EXPECT_EQ(servers[1].connection_name, "alpha");
}

class ServerManagerAppTest : public AppFixture {};

TEST_F(ServerManagerAppTest, TheToolsMenuOpensTheManagerOnTheSavedServers) {
    writeQuietOptions();
    ASSERT_EQ(startApp(), ui::Application::StartResult::Running);
    QAction* action = app->mainWindow()->action(ui::FrameCommand::MySqlServers);
    EXPECT_TRUE(action->isEnabled());
    int shown_rows = -1;
    prompter.on_dialog = [&](QDialog& dialog) {
        auto* manager = qobject_cast<ui::ServerManagerDialog*>(&dialog);
        if (!manager) return 0;
        shown_rows = manager->list()->topLevelItemCount();
        prompter.on_dialog = [](QDialog& d) {
            auto& server = static_cast<ui::ServerDialog&>(d);
            server.connectionNameField()->setText(QStringLiteral("local"));
            server.hostField()->setText(QStringLiteral("127.0.0.1"));
            server.okButton()->click();
            return d.result();
        };
        manager->addAction()->trigger();
        return 0;
    };
    action->trigger();
    EXPECT_TRUE(prompter.dialogs.contains(QStringLiteral("ServerManagerDialog")));
    EXPECT_EQ(shown_rows, 0);
    ASSERT_EQ(app->servers().size(), 1u);
    std::vector<CServerSettings> stored;
    ASSERT_TRUE(loadServerList(serverListFilePath(folder()), stored));
    EXPECT_EQ(stored, app->servers());
}

}  // namespace
}  // namespace keelvault::test
