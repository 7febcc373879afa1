#pragma once

#include <QString>
#include <QWidget>

#include "ui/wizard/page_context.h"

namespace keelvault::ui {

// One content of the wizard and the property sheets, written once and shown
// in any of the three modes. It fills itself from the working record when
// first shown and writes back only when its checks pass and the mode allows.
class PageContent : public QWidget {
    Q_OBJECT
public:
    PageContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    PageMode mode() const { return mode_; }
    bool editable() const { return mode_ != PageMode::View; }
    // The page's heading ("Databases and Tables", ...).
    virtual QString title() const = 0;

    // The page becomes current: the first time it loads from the record.
    void enter();
    // Next, leaving a tab, or OK: in view mode it accepts without checking or
    // storing; otherwise a failed check shows its message, puts the focus on
    // the field and keeps the page.
    bool leave();
    // Back in the wizard.
    virtual void leaveBack() {}

protected:
    virtual void load() = 0;
    // Called on every entry after the first (and right after load()).
    virtual void reenter() {}
    // Runs the checks and stores the values; only in wizard and edit modes.
    virtual bool accept() = 0;

    PageContext& context() const { return context_; }
    CTask& task() const { return context_.task; }
    Prompter& prompter() const;
    // Shows a refusal (warning icon) and focuses the widget; returns false.
    bool refuseWith(const std::string& message, QWidget* focus);
    bool loaded() const { return loaded_; }

private:
    PageContext& context_;
    PageMode mode_;
    bool loaded_ = false;
};

}  // namespace keelvault::ui
