#pragma once

#include <QWizardPage>
#include <utility>

#include "ui/wizard/page_content.h"

namespace keelvault::ui {

// The thin wizard page around a content: entering loads, Next checks and
// stores, Back lets selection pages reset what they set.
class WizardPageHost : public QWizardPage {
    Q_OBJECT
public:
    explicit WizardPageHost(PageContent* content, QWidget* parent = nullptr);
    PageContent& content() const { return *content_; }

    void initializePage() override;
    bool validatePage() override;
    void cleanupPage() override;

private:
    PageContent* content_;
};

// The thin tab of the property sheet around a content. The sheet calls
// leave() when the tab is left or OK is pressed.
class TabPageHost : public QWidget {
    Q_OBJECT
public:
    explicit TabPageHost(PageContent* content, QWidget* parent = nullptr);
    PageContent& content() const { return *content_; }
    QString title() const { return content_->title(); }

    bool leave() { return content_->leave(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    PageContent* content_;
};

// The named page classes are these hosts over one content type.
template <typename Content>
class WizardPage : public WizardPageHost {
public:
    template <typename... Args>
    explicit WizardPage(PageContext& context, Args&&... args)
        : WizardPageHost(new Content(context, PageMode::Wizard, std::forward<Args>(args)...)) {}
    Content& page() const { return static_cast<Content&>(content()); }
};

template <typename Content, PageMode Mode>
class TabPage : public TabPageHost {
    static_assert(Mode != PageMode::Wizard);

public:
    template <typename... Args>
    explicit TabPage(PageContext& context, Args&&... args)
        : TabPageHost(new Content(context, Mode, std::forward<Args>(args)...)) {}
    Content& page() const { return static_cast<Content&>(content()); }
};

template <typename Content>
using EditTab = TabPage<Content, PageMode::Edit>;
template <typename Content>
using ViewTab = TabPage<Content, PageMode::View>;

}  // namespace keelvault::ui
