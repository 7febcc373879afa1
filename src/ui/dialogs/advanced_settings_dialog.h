#pragma once

#include <QDialog>
#include <array>

#include "core/model/task.h"

class QCheckBox;
class QPushButton;

namespace keelvault::ui {

class Prompter;

// "Advanced Settings...": the twenty-one dump options. It edits a copy of
// the backup options; in view mode every box is disabled and only "&Close"
// is offered.
class AdvancedSettingsDialog : public QDialog {
    Q_OBJECT
public:
    AdvancedSettingsDialog(const CBackupOptions& options, bool view, Prompter& prompter, QWidget* parent = nullptr);

    // The option indexes of the boxes, in the order shown.
    static const std::array<int, 21>& optionIndexes();

    // The options with the boxes applied.
    CBackupOptions options() const;
    QCheckBox* box(int option_index) const;
    QPushButton* resetButton() const { return reset_; }

private:
    void show(const CBackupOptions& options);

    CBackupOptions options_;
    std::array<QCheckBox*, 21> boxes_{};
    QPushButton* reset_ = nullptr;
};

}  // namespace keelvault::ui

namespace keelvault::ui {

// "Advanced Settings..." of a page: O&K writes the boxes into the backup
// options when the page may store them; a read-only page shows them only.
void openAdvancedSettings(CBackupOptions& options, bool editable, Prompter& prompter, QWidget* parent);

}  // namespace keelvault::ui
