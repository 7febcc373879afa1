#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "ui/wizard/server_block.h"

#include "page_fixture.h"
#include "ui/wizard/backup_file_page.h"
#include "ui/wizard/buffer_page.h"
#include "ui/wizard/choose_databases_page.h"
#include "ui/wizard/choose_tables_page.h"
#include "ui/wizard/compression_page.h"
#include "ui/wizard/export_file_page.h"
#include "ui/wizard/restore_files_page.h"
#include "ui/wizard/schedule_page.h"
#include "ui/wizard/select_tables_page.h"
#include "ui/wizard/server_page.h"
#include "ui/wizard/sql_script_page.h"

namespace keelvault::test {
namespace {

using ui::PageMode;

// A task with something in every part, so a view page has things to change.
CTask fullTask() {
    CTask task;
    task.name = "Everything";
    task.task_type = kTypeBackupToDatabase;
    task.source.host = "db1";
    task.source.database = "shop";
    task.source.use_compression = 1;
    task.destination.host = "db2";
    CDatabaseItem shop{1, "shop", {{2, 1, "shop", "orders"}, {0, 2, "shop", "order_view"}}};
    task.databases = {shop};
    task.export_tables = {{2, 1, "shop", "orders"}};
    task.export_options.format = 1;
    task.export_options.directory = "/tmp/export";
    task.backup_options.backup_directory = "/tmp/backups/";
    task.backup_options.gzip = 1;
    task.buffer_options = {1, 300};
    task.schedule.kind = kScheduleEveryDay;
    task.schedule.hour = 2;
    task.script = {"SELECT 1;"};
    task.restore_files = {CRestoreFile{0, "a.sql", "/tmp/a.sql", 10, 2026, 1, 2, 3, 4, 5, 6}};
    return task;
}

class ViewPagesTest : public PageTest {
protected:
    // Clicks every button of the page (dialogs it opens are cancelled),
    // then leaves it; the record must stay as it was.
    template <typename Content, typename... Args>
    void expectUnchanged(Args&&... args) {
        task = fullTask();
        const CTask before = task;
        auto content = page<Content>(PageMode::View, std::forward<Args>(args)...);
        for (QAbstractButton* button : content->template findChildren<QAbstractButton*>()) button->click();
        if (auto* tree = content->template findChild<QTreeWidget*>(); tree && tree->topLevelItemCount() > 0) {
            tree->topLevelItem(0)->setSelected(true);
        }
        EXPECT_TRUE(content->leave()) << content->title().toStdString();
        EXPECT_TRUE(task == before) << content->title().toStdString();
        EXPECT_TRUE(prompter.messages.empty()) << content->title().toStdString();
    }
};

TEST_F(ViewPagesTest, NothingAViewPageOffersChangesTheRecord) {
    expectUnchanged<ui::ServerPageContent>(ui::ServerPageRole::Source);
    expectUnchanged<ui::ServerPageContent>(ui::ServerPageRole::Destination);
    expectUnchanged<ui::ChooseDatabasesContent>();
    expectUnchanged<ui::ChooseTablesContent>();
    expectUnchanged<ui::SelectTablesContent>();
    expectUnchanged<ui::BackupFileContent>();
    expectUnchanged<ui::CompressionContent>();
    expectUnchanged<ui::BufferContent>();
    expectUnchanged<ui::ScheduleContent>();
    expectUnchanged<ui::ExportFileContent>();
    expectUnchanged<ui::SqlScriptContent>();
    expectUnchanged<ui::RestoreFilesContent>();
}

TEST_F(ViewPagesTest, ViewTextsOnThePages) {
    task = fullTask();
    auto server = page<ui::ServerPageContent>(PageMode::View, ui::ServerPageRole::Source);
    EXPECT_EQ(server->block()->databaseView()->text(), QStringLiteral("shop"));
    EXPECT_EQ(server->block()->protocolsView()->toPlainText(), QStringLiteral("Use compression protocol\n"));
    auto buffer = page<ui::BufferContent>(PageMode::View);
    EXPECT_EQ(buffer->viewText()->text(),
              QStringLiteral("Store 300 records in the buffer (Be applicable to the large database)"));
    auto databases = page<ui::ChooseDatabasesContent>(PageMode::View);
    EXPECT_EQ(databases->tree()->topLevelItem(0)->child(1)->text(0), QStringLiteral("order_view (View)"));
    EXPECT_EQ(databases->tree()->topLevelItem(0)->checkState(0), Qt::PartiallyChecked);
}

}  // namespace
}  // namespace keelvault::test
