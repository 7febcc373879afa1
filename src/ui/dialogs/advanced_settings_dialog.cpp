#include "ui/dialogs/advanced_settings_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/platform/help.h"
#include "ui/prompter.h"

namespace keelvault::ui {

namespace {

constexpr int kSourceOptions = 5;

const char* const kCaptions[21] = {
    "Lock tables before starting",
    "Flush tables before starting",
    "Quote names within '`' characters",
    "Set connection character set",
    "Flush MySQL log files before starting",
    "Add CREATE DATABASE statement",
    "Add LOCK TABLES statement",
    "Add DROP TABLE statement",
    "Add DELETE all records statement",
    "Add SET NAMES default_character_set",
    "Use complete INSERT statements",
    "Use INSERT DELAYED statements",
    "Use multiple-row INSERT syntax",
    "Use REPLACE instead of INSERT statements",
    "Use INSERT IGNORE statements",
    "Add SET AUTOCOMMIT (InnoDB)",
    "Add SET FOREIGN_KEY_CHECKS (InnoDB)",
    "Add SET UNIQUE_CHECKS (InnoDB)",
    "Add SET SQL_NOTES",
    "Allow creation of column names that are keywords",
    "Surround the INSERT statements with ALTER TABLE table_name DISABLE KEYS",
};

}  // namespace

const std::array<int, 21>& AdvancedSettingsDialog::optionIndexes() {
    static const std::array<int, 21> kIndexes = {
        kOptLockTables,     kOptFlushTables,      kOptQuoteNames,   kOptSetCharset,    kOptFlushLogs,
        kOptCreateDatabase, kOptAddLockTables,    kOptDropTable,    kOptDeleteRecords, kOptSetNames,
        kOptCompleteInsert, kOptInsertDelayed,    kOptMultipleRows, kOptReplace,       kOptInsertIgnore,
        kOptAutocommit,     kOptForeignKeyChecks, kOptUniqueChecks, kOptSqlNotes,      kOptKeywordColumns,
        kOptDisableKeys};
    return kIndexes;
}

AdvancedSettingsDialog::AdvancedSettingsDialog(const CBackupOptions& options, bool view, Prompter& prompter,
                                               QWidget* parent)
    : QDialog(parent), options_(options) {
    setObjectName(QStringLiteral("AdvancedSettingsDialog"));
    setWindowTitle(tr("Advanced Settings"));
    auto* source = new QGroupBox(tr("Source Settings (Source Server)"), this);
    auto* destination = new QGroupBox(tr("Destination Settings (Destination Server or File)"), this);
    auto* source_layout = new QVBoxLayout(source);
    auto* destination_layout = new QVBoxLayout(destination);
    for (int i = 0; i < 21; ++i) {
        auto* box = new QCheckBox(tr(kCaptions[i]), i < kSourceOptions ? source : destination);
        (i < kSourceOptions ? source_layout : destination_layout)->addWidget(box);
        box->setEnabled(!view);
        boxes_[static_cast<size_t>(i)] = box;
    }
    source_layout->addStretch();
    auto* groups = new QHBoxLayout;
    groups->addWidget(source);
    groups->addWidget(destination, 1);

    auto* buttons = new QHBoxLayout;
    if (view) {
        auto* close = new QPushButton(tr("&Close"), this);
        buttons->addStretch();
        buttons->addWidget(close);
        connect(close, &QPushButton::clicked, this, &QDialog::reject);
    } else {
        reset_ = new QPushButton(tr("Reset to default"), this);
        auto* help = new QPushButton(tr("&Help"), this);
        auto* ok = new QPushButton(tr("O&K"), this);
        auto* cancel = new QPushButton(tr("&Cancel"), this);
        ok->setDefault(true);
        buttons->addWidget(reset_);
        buttons->addWidget(help);
        buttons->addStretch();
        buttons->addWidget(ok);
        buttons->addWidget(cancel);
        connect(reset_, &QPushButton::clicked, this, [this] { show(CBackupOptions{}); });
        connect(help, &QPushButton::clicked, this,
                [&prompter] { prompter.openUrl(helpTopicUrl(QStringLiteral("taskwizard/backupsettings.html"))); });
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);
    show(options_);
}

void AdvancedSettingsDialog::show(const CBackupOptions& options) {
    for (size_t i = 0; i < 21; ++i) boxes_[i]->setChecked(options.flag(optionIndexes()[i]) != 0);
}

CBackupOptions AdvancedSettingsDialog::options() const {
    CBackupOptions options = options_;
    for (size_t i = 0; i < 21; ++i) {
        options.flags[static_cast<size_t>(optionIndexes()[i])] = boxes_[i]->isChecked() ? 1 : 0;
    }
    return options;
}

QCheckBox* AdvancedSettingsDialog::box(int option_index) const {
    for (size_t i = 0; i < 21; ++i) {
        if (optionIndexes()[i] == option_index) return boxes_[i];
    }
    return nullptr;
}

}  // namespace keelvault::ui

namespace keelvault::ui {

void openAdvancedSettings(CBackupOptions& options, bool editable, Prompter& prompter, QWidget* parent) {
    AdvancedSettingsDialog dialog(options, !editable, prompter, parent);
    if (prompter.runDialog(dialog) == QDialog::Accepted && editable) options = dialog.options();
}

}  // namespace keelvault::ui
