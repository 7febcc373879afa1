#include "ui/wizard/source_database_page.h"
#include "ui/prompter.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "core/editing/database_choice_rules.h"
#include "ui/wizard/database_combo.h"
#include "ui/wizard/server_block.h"
#include "ui/wizard/server_requests.h"

namespace keelvault::ui {

void refillDatabaseList(ServerBlock& block, DatabaseCombo& combo, PageContext& context) {
    const auto server = block.validated();
    std::optional<ServerCatalogue> catalogue;
    if (server) catalogue = loadDatabaseNamesOrReport(*server, context.prompter, block.window());
    QStringList names;
    if (catalogue) {
        for (const std::string& name : catalogue->database_names) names << QString::fromStdString(name);
    }
    combo.setNames(names);
}

SourceDatabaseContent::SourceDatabaseContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("SourceDatabasePage"));
    block_ = new ServerBlock(context, tr("Source MySQL Server"), false, false, this);
    auto* group = new QGroupBox(tr("Source Database"), this);
    databases_ = new DatabaseCombo(group);
    databases_->setMinimumWidth(240);
    auto* form = new QFormLayout(group);
    form->addRow(tr("Source Database:"), databases_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(block_);
    layout->addWidget(group);
    layout->addStretch();
    databases_->setRefill([this] { refillDatabases(); });
}

void SourceDatabaseContent::refillDatabases() {
    refillDatabaseList(*block_, *databases_, context());
}

void SourceDatabaseContent::load() {
    block_->showServer(task().source);
    databases_->clear();
    if (!task().source.database.empty()) {
        databases_->addItem(QString::fromStdString(task().source.database));
        databases_->setCurrentIndex(0);
    }
}

bool SourceDatabaseContent::accept() {
    SourceDatabaseTexts texts;
    texts.server = block_->texts();
    if (databases_->currentIndex() >= 0) texts.database = databases_->currentText().toStdString();
    const auto result = checkSourceDatabasePage(texts);
    if (!result) {
        const DatabasePageField focus = result.failure().focus;
        if (focus == DatabasePageField::Host || focus == DatabasePageField::Port) {
            prompter().warn(QString::fromStdString(result.failure().message));
            block_->focusField(focus == DatabasePageField::Host ? ServerBlockField::Host : ServerBlockField::Port);
            return false;
        }
        return refuseWith(result.failure().message, databases_);
    }
    if (mode() == PageMode::Wizard) {
        auto catalogue = loadDatabaseTablesOrReport(result.value(), result.value().database, prompter(), window());
        if (!catalogue) return false;
        context().cache.replace(std::move(*catalogue));
    }
    task().source = result.value();
    return true;
}

}  // namespace keelvault::ui
