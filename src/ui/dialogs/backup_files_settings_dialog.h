#pragma once

#include <QDialog>

#include "core/editing/backup_files_settings_rules.h"
#include "core/model/task.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace keelvault::ui {

class NumberSpin;
class Prompter;

// "Backup Files Settings...": grouping, file name format, subdirectory and
// the two retention rules, on a copy of the backup options.
class BackupFilesSettingsDialog : public QDialog {
    Q_OBJECT
public:
    BackupFilesSettingsDialog(const CBackupOptions& options, Prompter& prompter, QWidget* parent = nullptr);

    // The accepted values (after O&K).
    const BackupSettingsValues& values() const { return values_; }

    QRadioButton* groupingButton(int grouping) const { return grouping_[grouping - 1]; }
    QLineEdit* formatField() const { return format_; }
    QCheckBox* subdirectoryBox() const { return subdirectory_; }
    QCheckBox* keepDaysBox() const { return keep_days_; }
    NumberSpin* keepDaysSpin() const { return days_; }
    QCheckBox* keepCopiesBox() const { return keep_copies_; }
    NumberSpin* keepCopiesSpin() const { return copies_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* resetButton() const { return reset_; }

private:
    void show(const BackupSettingsTexts& texts);
    void retentionChanged(QCheckBox* box, bool on);
    void onOk();

    Prompter& prompter_;
    BackupSettingsValues values_;
    QRadioButton* grouping_[3];
    QLineEdit* format_;
    QCheckBox* subdirectory_;
    QCheckBox* keep_days_;
    NumberSpin* days_;
    QCheckBox* keep_copies_;
    NumberSpin* copies_;
    QPushButton* ok_;
    QPushButton* reset_;
};

}  // namespace keelvault::ui
