#pragma once

#include <QDialog>
#include <vector>

#include "core/editing/task_sheet_texts.h"
#include "ui/wizard/page_context.h"
#include "ui/wizard/sheet_setup.h"

class QTabWidget;

namespace keelvault::ui {

class PageContent;
class TabPageHost;

// An existing task on tabs: in edit mode the editable twins, whose checks
// run when a tab is left or OK is pressed; in view mode the read-only pages,
// which check and store nothing. Both work on a copy the caller takes back.
class CTaskPropertySheet : public QDialog {
    Q_OBJECT
public:
    CTaskPropertySheet(const SheetSetup& setup, const CTask& task, bool edit_mode, QWidget* parent = nullptr);

    const CTask& task() const { return task_; }
    bool editMode() const { return edit_mode_; }
    QTabWidget* tabs() const { return tabs_; }
    int tabCount() const { return static_cast<int>(hosts_.size()); }
    PageContent* content(int index) const;
    template <typename Content>
    Content* page() const {
        for (int i = 0; i < tabCount(); ++i) {
            if (auto* found = qobject_cast<Content*>(content(i))) return found;
        }
        return nullptr;
    }
    // Switches tabs as a click does: the tab left must accept first.
    bool showTab(int index);

    void accept() override;

private:
    void tabChanged(int index);

    CTask task_;
    CatalogueCache cache_;
    PageContext context_;
    bool edit_mode_;
    QTabWidget* tabs_;
    std::vector<TabPageHost*> hosts_;
    int current_ = 0;
};

}  // namespace keelvault::ui
