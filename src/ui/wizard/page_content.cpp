#include "ui/wizard/page_content.h"

#include "ui/prompter.h"

namespace keelvault::ui {

PageContent::PageContent(PageContext& context, PageMode mode, QWidget* parent)
    : QWidget(parent), context_(context), mode_(mode) {}

void PageContent::enter() {
    if (!loaded_) {
        loaded_ = true;
        load();
    }
    reenter();
}

bool PageContent::leave() {
    if (!loaded_) return true;  // a tab never shown has nothing to check
    if (!editable()) return true;
    return accept();
}

Prompter& PageContent::prompter() const {
    return context_.prompter;
}

bool PageContent::refuseWith(const std::string& message, QWidget* focus) {
    prompter().warn(QString::fromStdString(message));
    if (focus) focus->setFocus();
    return false;
}

}  // namespace keelvault::ui
