#pragma once

#include "core/editing/task_sheet_texts.h"
#include "ui/wizard/page_content.h"

namespace keelvault::ui {

// The content of one page of the wizard or one tab of the property sheets,
// in the given mode, with the server roles of the task's type: the first
// server page is the source (loading the catalogue in the wizard for the
// types whose selection pages need it), the second the destination. The view
// sheet shows the database pages of types 3 and 8 as server pages with their
// database.
PageContent* createTaskPage(TaskPage page, PageContext& context, PageMode mode);

}  // namespace keelvault::ui
