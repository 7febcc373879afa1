#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "core/model/options_file.h"
#include "core/model/task.h"

class QPushButton;
class QTreeWidget;

namespace keelvault::ui {

class Prompter;

// "Backups List - name": the backups a backup task recorded, with their
// folders, and a restore task made from one of them.
class BackupsListDialog : public QDialog {
    Q_OBJECT
public:
    // `fresh_backups` gives the task's backup records as they are now (from
    // the stored list while the service runs it); nothing when unreadable.
    using BackupsSource = std::function<std::optional<std::vector<CBackupRecord>>()>;

    BackupsListDialog(const CTask& task, const CSystemOptions& options, bool service_running,
                      BackupsSource fresh_backups, Prompter& prompter, QWidget* parent = nullptr);

    QTreeWidget* list() const { return list_; }
    QPushButton* createRestoreButton() const { return create_restore_; }
    QPushButton* openFolderButton() const { return open_folder_; }
    QPushButton* refreshButton() const { return refresh_; }
    // The restore task "Create Restore" prepared; set only when the dialog closed with OK.
    const std::optional<CTask>& restoreTask() const { return restore_; }

    void openFolder();
    void createRestore();
    void refreshList();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitColumns();
    void showRows();
    const CBackupRecord* selectedRecord();

    CTask task_;
    const CSystemOptions& options_;
    BackupsSource fresh_backups_;
    Prompter& prompter_;
    std::optional<CTask> restore_;
    QTreeWidget* list_;
    QPushButton* create_restore_;
    QPushButton* open_folder_;
    QPushButton* refresh_;
};

}  // namespace keelvault::ui
