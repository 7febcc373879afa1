#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QPlainTextEdit;

namespace keelvault::ui {

// The wizard's last page: what the new task will be, rebuilt from the
// working record each time the page is shown.
class TaskDetailsContent : public PageContent {
    Q_OBJECT
public:
    TaskDetailsContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Task Summary"); }
    QPlainTextEdit* details() const { return details_; }
    // The text as the page holds it, with its CR LF line ends.
    const QString& detailsText() const { return text_; }

protected:
    void load() override {}
    void reenter() override;
    bool accept() override { return true; }

private:
    QPlainTextEdit* details_;
    QString text_;
};

using CTaskDetailsPage = WizardPage<TaskDetailsContent>;

}  // namespace keelvault::ui
