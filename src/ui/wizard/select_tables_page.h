#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QComboBox;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace keelvault::ui {

// "Export Tables": tables are moved from the source database's list into
// the export list.
class SelectTablesContent : public PageContent {
    Q_OBJECT
public:
    SelectTablesContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Export Tables"); }

    QComboBox* databaseList() const { return databases_; }
    QListWidget* sourceList() const { return source_; }
    QTreeWidget* exportList() const { return export_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* addAllButton() const { return add_all_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* removeAllButton() const { return remove_all_; }
    QPushButton* refreshButton() const { return refresh_; }

    void moveToExport(bool all);
    void moveBack(bool all);

protected:
    void load() override;
    void reenter() override;
    bool accept() override;

private:
    void showCatalogue();
    void showSourceTables();
    void showExportTables();
    std::vector<size_t> shownSourceIndexes() const;
    void refresh();

    int shown_generation_ = -1;
    QComboBox* databases_;
    QListWidget* source_;
    QTreeWidget* export_;
    QPushButton* add_;
    QPushButton* add_all_;
    QPushButton* remove_;
    QPushButton* remove_all_;
    QPushButton* refresh_;
};

using CSelectTablesPage = WizardPage<SelectTablesContent>;
using CPageSelectTablesDlg = EditTab<SelectTablesContent>;
using CPageViewSelectTablesDlg = ViewTab<SelectTablesContent>;

}  // namespace keelvault::ui
