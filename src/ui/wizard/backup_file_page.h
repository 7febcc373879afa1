#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace keelvault::ui {

// "Backup to SQL/PHP files": the file type, one same file or new files each
// time, the file or folder, and the line ends. The view form shows the
// settings as text.
class BackupFileContent : public PageContent {
    Q_OBJECT
public:
    BackupFileContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Backup to SQL/PHP files"); }

    QRadioButton* sqlButton() const { return sql_; }
    QRadioButton* phpButton() const { return php_; }
    QRadioButton* newFilesButton() const { return new_files_; }
    QRadioButton* sameFileButton() const { return same_file_; }
    QLineEdit* folderField() const { return folder_; }
    QLineEdit* fileField() const { return file_; }
    QPushButton* folderButton() const { return folder_button_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* settingsButton() const { return settings_; }
    QCheckBox* unixNewlinesBox() const { return unix_newlines_; }
    QLineEdit* fileTypeView() const { return file_type_view_; }
    QLineEdit* backupTypeView() const { return backup_type_view_; }
    QPlainTextEdit* settingsView() const { return settings_view_; }

protected:
    void load() override;
    bool accept() override;

private:
    void buildView();
    void chooseType(uint8_t type);
    void chooseMode(uint8_t mode);
    uint8_t fileType() const;
    QString defaultFile() const;
    QString defaultFolder() const;
    void browse();
    void chooseFolder();
    void openSettings();

    QRadioButton* sql_ = nullptr;
    QRadioButton* php_ = nullptr;
    QRadioButton* new_files_ = nullptr;
    QRadioButton* same_file_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLineEdit* file_ = nullptr;
    QPushButton* folder_button_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* settings_ = nullptr;
    QCheckBox* unix_newlines_ = nullptr;
    QLineEdit* file_type_view_ = nullptr;
    QLineEdit* backup_type_view_ = nullptr;
    QPlainTextEdit* settings_view_ = nullptr;
};

using CBackupFilePage = WizardPage<BackupFileContent>;
using CPageBackupFileDlg = EditTab<BackupFileContent>;
using CPageViewBackupFileDlg = ViewTab<BackupFileContent>;

}  // namespace keelvault::ui
