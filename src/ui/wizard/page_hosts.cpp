#include "ui/wizard/page_hosts.h"

#include <QVBoxLayout>

namespace keelvault::ui {

namespace {

void embed(QWidget* host, PageContent* content) {
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    content->setParent(host);
    layout->addWidget(content);
}

}  // namespace

WizardPageHost::WizardPageHost(PageContent* content, QWidget* parent) : QWizardPage(parent), content_(content) {
    embed(this, content);
    setTitle(content->title());
}

void WizardPageHost::initializePage() {
    content_->enter();
}

bool WizardPageHost::validatePage() {
    return content_->leave();
}

void WizardPageHost::cleanupPage() {
    content_->leaveBack();
}

TabPageHost::TabPageHost(PageContent* content, QWidget* parent) : QWidget(parent), content_(content) {
    embed(this, content);
}

void TabPageHost::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    content_->enter();
}

}  // namespace keelvault::ui
