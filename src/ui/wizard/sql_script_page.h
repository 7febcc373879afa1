#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QPlainTextEdit;
class QPushButton;

namespace keelvault::ui {

// "SQL Script": free text cut into the statements the task sends.
class SqlScriptContent : public PageContent {
    Q_OBJECT
public:
    SqlScriptContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("SQL Script"); }
    QPlainTextEdit* editor() const { return edit_; }
    QPushButton* addFromFileButton() const { return from_file_; }

protected:
    void load() override;
    bool accept() override;

private:
    void addFromFile();

    QString shown_;  // the stored statements as first shown
    QPlainTextEdit* edit_;
    QPushButton* from_file_ = nullptr;
};

using CSQLScriptPage = WizardPage<SqlScriptContent>;
using CPageSQLScriptDlg = EditTab<SqlScriptContent>;
using CPageViewSQLScriptDlg = ViewTab<SqlScriptContent>;

}  // namespace keelvault::ui
