#pragma once

#include <QWizard>
#include <vector>

#include "core/editing/task_sheet_texts.h"
#include "ui/wizard/page_context.h"
#include "ui/wizard/sheet_setup.h"

namespace keelvault::ui {

class PageContent;
class WizardPageHost;

// The Task Wizard: the welcome page, the task name page, the pages of the
// task's type, the schedule and the summary, all filling one working record.
// Finish leaves the record for the caller; Cancel discards it (servers added
// with "New" are saved already).
class CTaskWizardSheet : public QWizard {
    Q_OBJECT
public:
    // `record` is a new record of its type (newTaskOfType) or a prepared
    // restore task; an unknown type starts over as a new backup task.
    CTaskWizardSheet(const SheetSetup& setup, const CTask& record, QWidget* parent = nullptr);

    const CTask& task() const { return task_; }
    int taskType() const { return task_.task_type; }
    // The pages after the welcome page; their count is the step count.
    const std::vector<TaskPage>& sequence() const { return sequence_; }
    // The content of page `id` (0 is the welcome page).
    PageContent* content(int id) const;
    // The first page holding a content of this class.
    template <typename Content>
    Content* page() const {
        for (int id = 0; id <= static_cast<int>(sequence_.size()); ++id) {
            if (auto* found = qobject_cast<Content*>(content(id))) return found;
        }
        return nullptr;
    }
    // Moves on as the Next button does; false when the page refused.
    bool goNext();

private:
    void updateTitle(int id);

    CTask task_;
    CatalogueCache cache_;
    PageContext context_;
    std::vector<TaskPage> sequence_;
    std::vector<WizardPageHost*> hosts_;
};

}  // namespace keelvault::ui
