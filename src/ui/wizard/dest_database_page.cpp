#include "ui/wizard/dest_database_page.h"
#include "ui/prompter.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/editing/database_choice_rules.h"
#include "ui/wizard/database_combo.h"
#include "ui/wizard/server_block.h"
#include "ui/wizard/source_database_page.h"

namespace keelvault::ui {

DestDatabaseContent::DestDatabaseContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("DestDatabasePage"));
    block_ = new ServerBlock(context, tr("Destination MySQL Server"), false, false, this);
    auto* group = new QGroupBox(tr("Destination Database"), this);
    existing_ = new QRadioButton(tr("Choose a existent database"), group);
    new_ = new QRadioButton(tr("Create a new database"), group);
    databases_ = new DatabaseCombo(group);
    new_name_ = new QLineEdit(group);
    auto* grid = new QGridLayout(group);
    grid->addWidget(existing_, 0, 0);
    grid->addWidget(databases_, 0, 1);
    grid->addWidget(new_, 1, 0);
    grid->addWidget(new_name_, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(block_);
    layout->addWidget(group);
    layout->addStretch();
    databases_->setEnabled(false);
    new_name_->setEnabled(false);
    databases_->setRefill([this] { refillDatabaseList(*block_, *databases_, this->context()); });
    connect(existing_, &QRadioButton::clicked, this, [this] { choose(false); });
    connect(new_, &QRadioButton::clicked, this, [this] { choose(true); });
}

void DestDatabaseContent::choose(bool create) {
    databases_->setEnabled(!create);
    new_name_->setEnabled(create);
    if (create && new_name_->text().isEmpty()) new_name_->setText(QString::fromLatin1(kNewDatabaseNameProposal));
}

void DestDatabaseContent::load() {
    block_->showServer(task().destination);
    const CBackupOptions& options = task().backup_options;
    if (options.new_database) {
        new_->setChecked(true);
        new_name_->setText(QString::fromStdString(options.destination_database));
        choose(true);
    } else if (!task().destination.database.empty()) {
        existing_->setChecked(true);
        databases_->addItem(QString::fromStdString(task().destination.database));
        databases_->setCurrentIndex(0);
        choose(false);
    }
}

bool DestDatabaseContent::accept() {
    DestinationDatabaseTexts texts;
    texts.server = block_->texts();
    texts.choice = existing_->isChecked() ? DestinationChoice::Existing
                   : new_->isChecked()    ? DestinationChoice::New
                                          : DestinationChoice::None;
    if (databases_->currentIndex() >= 0) texts.existing = databases_->currentText().toStdString();
    texts.new_name = new_name_->text().toStdString();
    const auto result = checkDestinationDatabasePage(texts, task().source);
    if (!result) {
        const std::string& message = result.failure().message;
        switch (result.failure().focus) {
            case DatabasePageField::Host:
            case DatabasePageField::Port:
                prompter().warn(QString::fromStdString(message));
                block_->focusField(result.failure().focus == DatabasePageField::Host ? ServerBlockField::Host
                                                                                     : ServerBlockField::Port);
                return false;
            case DatabasePageField::DatabaseList:
                return refuseWith(message, databases_);
            case DatabasePageField::NewDatabaseName:
                return refuseWith(message, new_name_);
            case DatabasePageField::Choice:
                return refuseWith(message, existing_);
        }
    }
    task().destination = result.value().server;
    task().backup_options.new_database = result.value().new_database;
    task().backup_options.destination_database = result.value().destination_database;
    return true;
}

}  // namespace keelvault::ui
