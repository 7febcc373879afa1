#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QCheckBox;
class QListWidget;
class QPushButton;

namespace keelvault::ui {

// "Source Tables": the tables of the source database, chosen by selecting
// list lines; they become the task's single database entry.
class ChooseTablesContent : public PageContent {
    Q_OBJECT
public:
    ChooseTablesContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Source Tables"); }
    void leaveBack() override;

    QListWidget* list() const { return list_; }
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* selectAllButton() const { return select_all_; }
    QPushButton* deselectAllButton() const { return deselect_all_; }
    QPushButton* invertButton() const { return invert_; }
    QPushButton* advancedButton() const { return advanced_; }
    QCheckBox* structureBox() const { return structure_; }
    QCheckBox* recordsBox() const { return records_; }
    QCheckBox* newTablesBox() const { return new_tables_; }

protected:
    void load() override;
    void reenter() override;
    bool accept() override;

private:
    void showOptions(const CBackupOptions& options);
    void showTables(const std::vector<CTableItem>& tables);
    void refresh();

    int shown_generation_ = -1;
    std::vector<CTableItem> shown_;
    QListWidget* list_;
    QPushButton* refresh_;
    QPushButton* select_all_;
    QPushButton* deselect_all_;
    QPushButton* invert_;
    QPushButton* advanced_;
    QCheckBox* structure_;
    QCheckBox* records_;
    QCheckBox* new_tables_;
};

using CChooseTablesPage = WizardPage<ChooseTablesContent>;
using CPageChooseTablesDlg = EditTab<ChooseTablesContent>;
using CPageViewChooseTablesDlg = ViewTab<ChooseTablesContent>;

}  // namespace keelvault::ui
