#include "ui/wizard/task_name_page.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/editing/task_name_rules.h"
#include "core/editing/task_sheet_texts.h"

namespace keelvault::ui {

namespace {

QString qtext(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

TaskNameContent::TaskNameContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("TaskNamePage"));
    name_ = new QLineEdit(this);
    comment_ = new QPlainTextEdit(this);
    comment_->setTabChangesFocus(true);
    comment_->setFixedHeight(110);
    type_ = new QLineEdit(this);
    type_->setReadOnly(true);
    if (!editable()) {
        name_->setReadOnly(true);
        comment_->setReadOnly(true);
    }
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setVerticalSpacing(10);
    form->addRow(tr("Task Name:"), name_);
    form->addRow(tr("Comment:"), comment_);
    form->addRow(tr("Task Type:"), type_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
}

void TaskNameContent::load() {
    // A new task proposes "Task N"; an existing one shows its name.
    name_->setText(qtext(proposedTaskName(task().name, static_cast<int>(context().task_names.size()))));
    comment_->setPlainText(qtext(task().comment));
    type_->setText(qtext(taskTypeDisplayName(task().task_type)));
    type_->setCursorPosition(0);
}

bool TaskNameContent::accept() {
    const TaskNameTexts texts{name_->text().toStdString(), comment_->toPlainText().toStdString()};
    const auto checked = checkTaskName(texts, context().task_names, context().edit_index);
    if (!checked) return refuseWith(checked.failure().message, name_);
    task().name = checked.value().name;
    task().comment = checked.value().comment;
    return true;
}

}  // namespace keelvault::ui
