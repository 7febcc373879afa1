#include "ui/wizard/backup_file_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/editing/backup_file_rules.h"
#include "core/editing/default_file_names.h"
#include "core/editing/view_texts.h"
#include "ui/dialogs/backup_files_settings_dialog.h"
#include "ui/prompter.h"
#include "ui/wizard/file_chooser.h"

namespace keelvault::ui {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

BackupFileContent::BackupFileContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("BackupFilePage"));
    if (mode == PageMode::View) {
        buildView();
        return;
    }
    auto* type_group = new QGroupBox(tr("File Type"), this);
    sql_ = new QRadioButton(tr("SQL File"), type_group);
    php_ = new QRadioButton(tr("PHP File"), type_group);
    auto* type_layout = new QHBoxLayout(type_group);
    type_layout->addWidget(sql_);
    type_layout->addWidget(php_);
    type_layout->addStretch();

    auto* mode_group = new QGroupBox(tr("Backup Type"), this);
    new_files_ = new QRadioButton(tr("Backup to the new file(s) each time"), mode_group);
    folder_ = new QLineEdit(mode_group);
    folder_button_ = new QPushButton(tr("&Folder..."), mode_group);
    settings_ = new QPushButton(tr("Settings..."), mode_group);
    same_file_ = new QRadioButton(tr("Backup to a same file each time"), mode_group);
    file_ = new QLineEdit(mode_group);
    browse_ = new QPushButton(tr("&Browse..."), mode_group);
    auto* grid = new QGridLayout(mode_group);
    grid->addWidget(new_files_, 0, 0, 1, 3);
    grid->addWidget(folder_, 1, 0);
    grid->addWidget(folder_button_, 1, 1);
    grid->addWidget(settings_, 1, 2);
    grid->addWidget(same_file_, 2, 0, 1, 3);
    grid->addWidget(file_, 3, 0);
    grid->addWidget(browse_, 3, 1);
    grid->setColumnStretch(0, 1);
    // Each pair of radio buttons is its own choice.
    auto* modes = new QButtonGroup(this);
    modes->addButton(new_files_);
    modes->addButton(same_file_);

    unix_newlines_ = new QCheckBox(tr("Use the '\\n' instead of '\\r\\n' in the backup files"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(type_group);
    layout->addWidget(mode_group);
    layout->addWidget(unix_newlines_);
    layout->addStretch();

    connect(sql_, &QRadioButton::clicked, this, [this] { chooseType(1); });
    connect(php_, &QRadioButton::clicked, this, [this] { chooseType(2); });
    connect(same_file_, &QRadioButton::clicked, this, [this] { chooseMode(1); });
    connect(new_files_, &QRadioButton::clicked, this, [this] { chooseMode(2); });
    connect(browse_, &QPushButton::clicked, this, &BackupFileContent::browse);
    connect(folder_button_, &QPushButton::clicked, this, &BackupFileContent::chooseFolder);
    connect(settings_, &QPushButton::clicked, this, &BackupFileContent::openSettings);
}

void BackupFileContent::buildView() {
    file_type_view_ = new QLineEdit(this);
    backup_type_view_ = new QLineEdit(this);
    settings_view_ = new QPlainTextEdit(this);
    for (QLineEdit* e : {file_type_view_, backup_type_view_}) e->setReadOnly(true);
    settings_view_->setReadOnly(true);
    auto* form = new QFormLayout(this);
    form->addRow(tr("File Type:"), file_type_view_);
    form->addRow(tr("Backup Type:"), backup_type_view_);
    form->addRow(tr("Settings:"), settings_view_);
}

uint8_t BackupFileContent::fileType() const {
    return php_->isChecked() ? 2 : 1;
}

QString BackupFileContent::defaultFile() const {
    return qs(defaultBackupFile(context().options, task().name, fileType()));
}

QString BackupFileContent::defaultFolder() const {
    return qs(defaultBackupFolder(context().options, task().name));
}

void BackupFileContent::load() {
    if (mode() == PageMode::View) {
        const BackupFileViewText view = backupFileViewText(task().backup_options);
        file_type_view_->setText(qs(view.file_type));
        backup_type_view_->setText(qs(view.backup_type));
        settings_view_->setPlainText(qs(view.settings));
        return;
    }
    const BackupFileTexts texts = backupFilePageTexts(task().backup_options);
    (texts.file_type == 2 ? php_ : sql_)->setChecked(true);
    unix_newlines_->setChecked(texts.unix_newlines);
    unix_newlines_->setEnabled(texts.file_type != 2);
    file_->setText(qs(texts.file));
    folder_->setText(qs(texts.folder));
    (texts.file_mode == 1 ? same_file_ : new_files_)->setChecked(true);
    chooseMode(texts.file_mode == 1 ? 1 : 2);
}

void BackupFileContent::chooseType(uint8_t type) {
    file_->setText(qs(withBackupFileExtension(file_->text().toStdString(), type)));
    if (type == 2) unix_newlines_->setChecked(false);
    unix_newlines_->setEnabled(type != 2);
}

void BackupFileContent::chooseMode(uint8_t file_mode) {
    const bool same = file_mode == 1;
    file_->setEnabled(same);
    browse_->setEnabled(same);
    folder_->setEnabled(!same);
    folder_button_->setEnabled(!same);
    settings_->setEnabled(!same);
    if (same && file_->text().isEmpty()) file_->setText(defaultFile());
    if (!same && folder_->text().isEmpty()) folder_->setText(defaultFolder());
}

void BackupFileContent::browse() {
    const bool php = fileType() == 2;
    const QString chosen =
        context().chooser.saveFile(window(), php ? tr("PHP Files (*.php)") : tr("SQL Files (*.sql)"),
                                   php ? QStringLiteral("php") : QStringLiteral("sql"), file_->text());
    if (!chosen.isEmpty()) file_->setText(chosen);
}

void BackupFileContent::chooseFolder() {
    const QString chosen = context().chooser.folder(window(), tr("Please choose a directory:"), folder_->text());
    if (!chosen.isEmpty()) folder_->setText(chosen);
}

void BackupFileContent::openSettings() {
    BackupFilesSettingsDialog dialog(task().backup_options, prompter(), window());
    if (prompter().runDialog(dialog) != QDialog::Accepted || !editable()) return;
    const BackupSettingsValues& v = dialog.values();
    CBackupOptions& options = task().backup_options;
    options.flags[kOptGrouping] = v.grouping;
    options.file_name_format = v.format;
    options.date_time_subdir = v.date_time_subdirectory;
    options.retention_kind = v.retention_kind;
    options.retention_limit = v.retention_limit;
}

bool BackupFileContent::accept() {
    BackupFileTexts texts;
    texts.file_type = fileType();
    texts.file_mode = same_file_->isChecked() ? 1 : 2;
    texts.file = file_->text().toStdString();
    texts.folder = folder_->text().toStdString();
    texts.unix_newlines = unix_newlines_->isChecked();
    const auto result = checkBackupFilePage(texts);
    if (!result) {
        QWidget* focus = nullptr;
        switch (result.failure().focus) {
            case BackupFileField::FileEdit:
                focus = file_;
                break;
            case BackupFileField::BrowseButton:
                focus = browse_;
                break;
            case BackupFileField::FolderEdit:
                focus = folder_;
                break;
            case BackupFileField::FolderButton:
                focus = folder_button_;
                break;
        }
        return refuseWith(result.failure().message, focus);
    }
    const BackupFileValues& v = result.value();
    CBackupOptions& options = task().backup_options;
    options.flags[kOptFileType] = v.file_type;
    options.flags[kOptFileMode] = v.file_mode;
    options.same_file_path = v.same_file_path;
    options.backup_directory = v.backup_directory;
    options.unix_newlines = v.unix_newlines;
    return true;
}

}  // namespace keelvault::ui
