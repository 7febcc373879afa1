#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace keelvault::ui {

// "Backup Files" ("SQL Files" on the sheets): the ordered SQL and gzip files
// a restore replays, and the two continue-on-error boxes.
class RestoreFilesContent : public PageContent {
    Q_OBJECT
public:
    RestoreFilesContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override;
    QTreeWidget* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* removeAllButton() const { return remove_all_; }
    QPushButton* moveUpButton() const { return up_; }
    QPushButton* moveDownButton() const { return down_; }
    QCheckBox* sqlErrorBox() const { return sql_error_; }
    QCheckBox* fileErrorBox() const { return file_error_; }
    const std::vector<CRestoreFile>& files() const { return files_; }

protected:
    void load() override;
    bool accept() override;

private:
    void showFiles(const std::vector<int>& selected);
    std::vector<int> selectedRows() const;
    void add();
    void remove(bool all);
    void move(bool up);

    std::vector<CRestoreFile> files_;
    QTreeWidget* list_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* remove_all_;
    QPushButton* up_;
    QPushButton* down_;
    QCheckBox* sql_error_;
    QCheckBox* file_error_;
};

using CRestoreFilesPage = WizardPage<RestoreFilesContent>;
using CPageRestoreFilesDlg = EditTab<RestoreFilesContent>;
using CPageViewRestoreFilesDlg = ViewTab<RestoreFilesContent>;

}  // namespace keelvault::ui
