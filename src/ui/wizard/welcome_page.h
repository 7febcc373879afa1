#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QLabel;

namespace keelvault::ui {

// The wizard's first page: what the task will do, and how to go on.
class WelcomeContent : public PageContent {
    Q_OBJECT
public:
    WelcomeContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Welcome to the Task Wizard"); }
    QLabel* text() const { return text_; }

protected:
    void load() override;
    bool accept() override { return true; }

private:
    QLabel* text_;
};

using CMainPage = WizardPage<WelcomeContent>;

}  // namespace keelvault::ui
