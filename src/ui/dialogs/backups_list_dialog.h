#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "core/model/options_file.h"
#include "core/model/task.h"
#include "core/scheduler/run_context.h"

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
    // Stops a verify still running and waits for it (it drops its scratch databases).
    ~BackupsListDialog() override;

    // Where "Verify..." restores to (the saved servers) and where the task's
    // log is; without servers it has nothing to offer.
    void setVerifySetup(std::vector<CServerSettings> servers, std::filesystem::path logs_folder);

    QTreeWidget* list() const { return list_; }
    QPushButton* createRestoreButton() const { return create_restore_; }
    QPushButton* openFolderButton() const { return open_folder_; }
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* verifyButton() const { return verify_; }
    bool verifying() const { return verify_thread_.joinable() && !verify_done_; }
    // The restore task "Create Restore" prepared; set only when the dialog closed with OK.
    const std::optional<CTask>& restoreTask() const { return restore_; }

    void openFolder();
    void createRestore();
    void refreshList();
    // Asks for a server and verifies the selected backup there in the
    // background; the result goes to the task's log and a short message.
    void verifyBackup();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitColumns();
    void showRows();
    const CBackupRecord* selectedRecord();
    void verifyFinished(int status, const QString& summary);

    CTask task_;
    const CSystemOptions& options_;
    BackupsSource fresh_backups_;
    Prompter& prompter_;
    std::optional<CTask> restore_;
    QTreeWidget* list_;
    QPushButton* create_restore_;
    QPushButton* open_folder_;
    QPushButton* refresh_;
    QPushButton* verify_;
    std::vector<CServerSettings> verify_servers_;
    std::filesystem::path logs_folder_;
    ConnectionRegistry verify_connections_;
    bool verify_done_ = false;
    std::jthread verify_thread_;  // last: stopped and joined before the rest goes
};

}  // namespace keelvault::ui
