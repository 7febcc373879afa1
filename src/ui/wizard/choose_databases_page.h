#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace keelvault::ui {

// "Databases and Tables": a three-state check tree of databases and their
// tables, with the structure/records and newly-created boxes.
class ChooseDatabasesContent : public PageContent {
    Q_OBJECT
public:
    ChooseDatabasesContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Databases and Tables"); }
    void leaveBack() override;

    QTreeWidget* tree() const { return tree_; }
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* selectAllButton() const { return select_all_; }
    QPushButton* advancedButton() const { return advanced_; }
    QCheckBox* structureBox() const { return structure_; }
    QCheckBox* recordsBox() const { return records_; }
    QCheckBox* newTablesBox() const { return new_tables_; }
    QCheckBox* newDatabasesBox() const { return new_databases_; }

protected:
    void load() override;
    void reenter() override;
    bool accept() override;

private:
    void showOptions(const CBackupOptions& options);
    void showTree(const std::vector<CDatabaseItem>& databases);
    std::vector<CDatabaseItem> readTree() const;
    void refresh();

    int shown_generation_ = -1;
    std::vector<CDatabaseItem> shown_;  // what the tree items stand for
    QTreeWidget* tree_;
    QPushButton* refresh_;
    QPushButton* select_all_;
    QPushButton* advanced_;
    QCheckBox* structure_;
    QCheckBox* records_;
    QCheckBox* new_tables_;
    QCheckBox* new_databases_;
};

using CChooseDatabasesPage = WizardPage<ChooseDatabasesContent>;
using CPageChooseDatabasesDlg = EditTab<ChooseDatabasesContent>;
using CPageViewChooseDatabasesDlg = ViewTab<ChooseDatabasesContent>;

}  // namespace keelvault::ui
