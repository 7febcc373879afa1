#include "ui/wizard/summary_page.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/editing/task_sheet_texts.h"

namespace keelvault::ui {

TaskDetailsContent::TaskDetailsContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("SummaryPage"));
    auto* intro = new QLabel(
        tr("Click Finish to create a new task, or click Back if you want to review or change any settings."), this);
    intro->setWordWrap(true);
    details_ = new QPlainTextEdit(this);
    details_->setReadOnly(true);
    details_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(tr("Task Information:"), this));
    layout->addWidget(details_, 1);
}

void TaskDetailsContent::reenter() {
    const std::string text = taskSummaryText(task());
    text_ = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // The edit box shows lines; CR LF would leave a stray mark in each.
    QString shown = text_;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    details_->setPlainText(shown);
}

}  // namespace keelvault::ui
