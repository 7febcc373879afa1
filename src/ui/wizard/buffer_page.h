#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QCheckBox;
class QLabel;
class QRadioButton;

namespace keelvault::ui {

class NumberSpin;

// "Buffer Mode": rows are read and written in batches of a number of
// records, or all at once.
class BufferContent : public PageContent {
    Q_OBJECT
public:
    BufferContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Buffer Mode"); }
    QCheckBox* enableBox() const { return enable_; }
    QRadioButton* storeButton() const { return store_; }
    QRadioButton* storeAllButton() const { return store_all_; }
    NumberSpin* countSpin() const { return count_; }
    QLabel* viewText() const { return view_; }

protected:
    void load() override;
    bool accept() override;

private:
    void enableChanged(bool on);
    void choiceChanged();

    QCheckBox* enable_;
    QRadioButton* store_ = nullptr;
    QRadioButton* store_all_ = nullptr;
    NumberSpin* count_ = nullptr;
    QLabel* count_text_ = nullptr;
    QLabel* view_ = nullptr;
};

using CBufferOptionsPage = WizardPage<BufferContent>;
using CPageBufferOptionsDlg = EditTab<BufferContent>;
using CPageViewBufferOptionsDlg = ViewTab<BufferContent>;

}  // namespace keelvault::ui
