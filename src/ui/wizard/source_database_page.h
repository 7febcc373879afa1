#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

namespace keelvault::ui {

class DatabaseCombo;
class ServerBlock;

// "Source Database": the server block and the database a database-to-database
// task copies. The wizard loads that database's tables when it is left.
class SourceDatabaseContent : public PageContent {
    Q_OBJECT
public:
    SourceDatabaseContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Source Database"); }
    ServerBlock* block() const { return block_; }
    DatabaseCombo* databaseList() const { return databases_; }
    // Fills the list from the entered server, as opening it does.
    void refillDatabases();

protected:
    void load() override;
    bool accept() override;

private:
    ServerBlock* block_;
    DatabaseCombo* databases_;
};

using CSourceDatabasePage = WizardPage<SourceDatabaseContent>;
using CPageSourceDatabaseDlg = EditTab<SourceDatabaseContent>;

// Lists the databases of the server a block holds into a combo (empty when
// the block is refused or the connection fails).
void refillDatabaseList(ServerBlock& block, DatabaseCombo& combo, PageContext& context);

}  // namespace keelvault::ui
