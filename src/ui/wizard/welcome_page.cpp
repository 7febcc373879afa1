#include "ui/wizard/welcome_page.h"

#include <QLabel>
#include <QVBoxLayout>

#include "core/editing/task_sheet_texts.h"

namespace keelvault::ui {

WelcomeContent::WelcomeContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("WelcomePage"));
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    auto* next = new QLabel(tr("Click Next to continue, or Cancel to exit."), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addSpacing(16);
    layout->addWidget(next);
    layout->addStretch();
}

void WelcomeContent::load() {
    text_->setText(QString::fromStdString(welcomeText(task().task_type)));
}

}  // namespace keelvault::ui
