#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <filesystem>

#include "core/model/options_file.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace keelvault::ui {

class FileChooser;
class HotKeyEdit;
class NumberSpin;
class Prompter;

// "General": login protection, display formats, the hot key, run at log-in
// and blocking the session end while a task runs.
class CSystemOptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit CSystemOptionsPage(QWidget* parent = nullptr);

    void showOptions(const CSystemOptions& options);
    // Leaving the tab or OK: no checks.
    CSystemOptions read(CSystemOptions options) const;
    void reset();

    QLineEdit* userField() const { return user_; }
    QLineEdit* passwordField() const { return password_; }
    QRadioButton* dateFormatButton(int format) const { return date_[static_cast<size_t>(format - 1)]; }
    QRadioButton* timeFormatButton(int format) const { return time_[static_cast<size_t>(format - 1)]; }
    HotKeyEdit* hotKeyField() const { return hot_key_; }
    QCheckBox* autoRunBox() const { return auto_run_; }
    QCheckBox* blockShutdownBox() const { return block_shutdown_; }
    QPushButton* resetButton() const { return reset_; }

private:
    QLineEdit* user_;
    QLineEdit* password_;
    std::array<QRadioButton*, 3> date_{};
    std::array<QRadioButton*, 2> time_{};
    HotKeyEdit* hot_key_;
    QCheckBox* auto_run_;
    QCheckBox* block_shutdown_;
    QPushButton* reset_;
};

// "Backup and Log": the default backup folder and the limit of task logs.
class CSystemOptionsBackupLogPage : public QWidget {
    Q_OBJECT
public:
    CSystemOptionsBackupLogPage(const std::filesystem::path& data_folder, FileChooser& chooser,
                                QWidget* parent = nullptr);

    void showOptions(const CSystemOptions& options);
    void reset();

    QLineEdit* folderField() const { return folder_; }
    QPushButton* browseButton() const { return browse_; }
    QRadioButton* unlimitedButton() const { return unlimited_; }
    QRadioButton* maximumButton() const { return maximum_; }
    NumberSpin* sizeSpin() const { return size_; }
    QLineEdit* sizeField() const;
    QLabel* note() const { return note_; }
    QPushButton* resetButton() const { return reset_; }

private:
    void limitChanged();

    std::filesystem::path data_folder_;
    FileChooser& chooser_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QRadioButton* unlimited_;
    QRadioButton* maximum_;
    NumberSpin* size_;
    QLabel* note_;
    QPushButton* reset_;

    friend class CSystemOptionsSheet;
};

// "Options": the two tabs on a copy of the options; OK leaves them in
// options() for the caller to apply.
class CSystemOptionsSheet : public QDialog {
    Q_OBJECT
public:
    CSystemOptionsSheet(const CSystemOptions& options, const std::filesystem::path& data_folder, Prompter& prompter,
                        FileChooser& chooser, QWidget* parent = nullptr);

    const CSystemOptions& options() const { return options_; }
    QTabWidget* tabs() const { return tabs_; }
    CSystemOptionsPage* generalPage() const { return general_; }
    CSystemOptionsBackupLogPage* backupLogPage() const { return backup_log_; }

    void accept() override;

private:
    bool leaveTab(int index);
    void tabChanged(int index);

    CSystemOptions options_;
    Prompter& prompter_;
    QTabWidget* tabs_;
    CSystemOptionsPage* general_;
    CSystemOptionsBackupLogPage* backup_log_;
    int current_ = 0;
};

}  // namespace keelvault::ui
