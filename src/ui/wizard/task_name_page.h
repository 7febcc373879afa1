#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QLineEdit;
class QPlainTextEdit;

namespace keelvault::ui {

// "Task Name": the name, the comment and the task type. The name must be
// given and must not be another task's; in view mode nothing can change.
class TaskNameContent : public PageContent {
    Q_OBJECT
public:
    TaskNameContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Task Name"); }
    QLineEdit* nameField() const { return name_; }
    QPlainTextEdit* commentField() const { return comment_; }
    QLineEdit* typeView() const { return type_; }

protected:
    void load() override;
    bool accept() override;

private:
    QLineEdit* name_;
    QPlainTextEdit* comment_;
    QLineEdit* type_;
};

using CTaskTypePage = WizardPage<TaskNameContent>;
using CPageTaskTypeDlg = EditTab<TaskNameContent>;
// The view sheet shows the same tab with read-only fields.
using CPageViewTaskTypeDlg = ViewTab<TaskNameContent>;

}  // namespace keelvault::ui
