#include "ui/dialogs/backup_files_settings_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/engine/backup_naming.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"
#include "ui/wizard/number_spin.h"

namespace keelvault::ui {

BackupFilesSettingsDialog::BackupFilesSettingsDialog(const CBackupOptions& options, Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setObjectName(QStringLiteral("BackupFilesSettingsDialog"));
    setWindowTitle(tr("Backup Files Settings"));
    auto* files = new QGroupBox(tr("Backup Files"), this);
    auto* files_layout = new QVBoxLayout(files);
    const char* captions[3] = {"All selected databases and tables in a file", "Each file include a selected database",
                               "Each file include a selected table"};
    for (int i = 0; i < 3; ++i) {
        grouping_[i] = new QRadioButton(tr(captions[i]), files);
        files_layout->addWidget(grouping_[i]);
        connect(grouping_[i], &QRadioButton::clicked, this,
                [this, i] { format_->setText(QString::fromStdString(defaultFileNameFormat(i + 1))); });
    }
    format_ = new QLineEdit(files);
    auto* format_row = new QHBoxLayout;
    format_row->addWidget(new QLabel(tr("File Name Format:"), files));
    format_row->addWidget(format_, 1);
    files_layout->addLayout(format_row);
    subdirectory_ =
        new QCheckBox(tr("Create a new subdirectory that named DATE_TIME each time for store the backup files"), files);
    files_layout->addWidget(subdirectory_);

    auto* retention = new QGroupBox(tr("Auto Delete"), this);
    auto* grid = new QGridLayout(retention);
    keep_days_ = new QCheckBox(tr("Auto delete this task's backup data older than"), retention);
    days_ = new NumberSpin(1, 10000, 5, retention);
    keep_copies_ = new QCheckBox(tr("Auto delete the oldest backup files when more than"), retention);
    copies_ = new NumberSpin(1, 10000, 5, retention);
    grid->addWidget(keep_days_, 0, 0);
    grid->addWidget(days_, 0, 1);
    grid->addWidget(new QLabel(tr("days"), retention), 0, 2);
    grid->addWidget(new QLabel(tr("OR"), retention), 1, 0);
    grid->addWidget(keep_copies_, 2, 0);
    grid->addWidget(copies_, 2, 1);
    grid->addWidget(new QLabel(tr("backup copies"), retention), 2, 2);
    grid->setColumnStretch(3, 1);
    connect(keep_days_, &QCheckBox::toggled, this, [this](bool on) { retentionChanged(keep_days_, on); });
    connect(keep_copies_, &QCheckBox::toggled, this, [this](bool on) { retentionChanged(keep_copies_, on); });

    ok_ = new QPushButton(tr("O&K"), this);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    auto* help = new QPushButton(tr("&Help"), this);
    reset_ = new QPushButton(tr("Reset to default"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset_);
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    connect(ok_, &QPushButton::clicked, this, &BackupFilesSettingsDialog::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this,
            [this] { prompter_.openUrl(helpTopicUrl(QStringLiteral("taskwizard/backupfilesettings.html"))); });
    connect(reset_, &QPushButton::clicked, this, [this] { show(backupSettingsTexts(CBackupOptions{})); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(files);
    layout->addWidget(retention);
    layout->addLayout(buttons);
    show(backupSettingsTexts(options));
}

void BackupFilesSettingsDialog::show(const BackupSettingsTexts& texts) {
    const int grouping = texts.grouping >= 1 && texts.grouping <= 3 ? texts.grouping : 1;
    grouping_[grouping - 1]->setChecked(true);
    format_->setText(QString::fromStdString(texts.format));
    subdirectory_->setChecked(texts.date_time_subdirectory);
    {
        const QSignalBlocker a(keep_days_);
        const QSignalBlocker b(keep_copies_);
        keep_days_->setChecked(texts.retention == RetentionChoice::KeepDays);
        keep_copies_->setChecked(texts.retention == RetentionChoice::KeepCopies);
    }
    days_->setText(QString::fromStdString(texts.days));
    copies_->setText(QString::fromStdString(texts.copies));
    days_->setEnabled(keep_days_->isChecked());
    copies_->setEnabled(keep_copies_->isChecked());
}

void BackupFilesSettingsDialog::retentionChanged(QCheckBox* box, bool on) {
    QCheckBox* other = box == keep_days_ ? keep_copies_ : keep_days_;
    if (on && other->isChecked()) {
        const QSignalBlocker blocker(other);
        other->setChecked(false);
    }
    days_->setEnabled(keep_days_->isChecked());
    copies_->setEnabled(keep_copies_->isChecked());
}

void BackupFilesSettingsDialog::onOk() {
    BackupSettingsTexts texts;
    for (int i = 0; i < 3; ++i) {
        if (grouping_[i]->isChecked()) texts.grouping = static_cast<uint8_t>(i + 1);
    }
    texts.format = format_->text().toStdString();
    texts.date_time_subdirectory = subdirectory_->isChecked();
    texts.retention = keep_days_->isChecked()     ? RetentionChoice::KeepDays
                      : keep_copies_->isChecked() ? RetentionChoice::KeepCopies
                                                  : RetentionChoice::None;
    texts.days = days_->text().toStdString();
    texts.copies = copies_->text().toStdString();
    const auto result = checkBackupSettings(texts);
    if (!result) {
        prompter_.warn(QString::fromStdString(result.failure().message));
        switch (result.failure().focus) {
            case BackupSettingsField::Format:
                format_->setFocus();
                break;
            case BackupSettingsField::KeepDays:
                days_->setFocus();
                break;
            case BackupSettingsField::KeepCopies:
                copies_->setFocus();
                break;
        }
        return;
    }
    values_ = result.value();
    accept();
}

}  // namespace keelvault::ui
