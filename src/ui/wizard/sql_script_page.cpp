#include "ui/wizard/sql_script_page.h"

#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/editing/script_rules.h"
#include "ui/prompter.h"
#include "ui/wizard/file_chooser.h"

namespace keelvault::ui {

SqlScriptContent::SqlScriptContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("SqlScriptPage"));
    edit_ = new QPlainTextEdit(this);
    edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_, 1);
    if (mode == PageMode::View) {
        edit_->setReadOnly(true);
        return;
    }
    from_file_ = new QPushButton(tr("Add the script from a SQL file"), this);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(from_file_);
    layout->addLayout(row);
    connect(from_file_, &QPushButton::clicked, this, &SqlScriptContent::addFromFile);
}

void SqlScriptContent::load() {
    edit_->setPlainText(QString::fromStdString(scriptEditText(task().script)));
    shown_ = edit_->toPlainText();
}

void SqlScriptContent::addFromFile() {
    const QString name = context().chooser.openFile(window(), tr("SQL Files (*.sql)"));
    if (name.isEmpty()) return;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        prompter().fail(tr("Failed to open the file!"));
        return;
    }
    edit_->setPlainText(QString::fromUtf8(file.readAll()));
}

bool SqlScriptContent::accept() {
    // Untouched text keeps the stored statements as they are: cutting the
    // joined text again would merge statements stored without a ';'.
    if (!task().script.empty() && edit_->toPlainText() == shown_) return true;
    const auto result = checkScriptText(edit_->toPlainText().toStdString());
    if (!result) return refuseWith(result.failure().message, edit_);
    task().script = result.value();
    return true;
}

}  // namespace keelvault::ui
