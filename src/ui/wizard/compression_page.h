#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QCheckBox;
class QLabel;
class QSlider;

namespace keelvault::ui {

// "Compression Options": gzip the SQL backup file, and how hard.
class CompressionContent : public PageContent {
    Q_OBJECT
public:
    CompressionContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Compression Options"); }
    QCheckBox* compressBox() const { return compress_; }
    QSlider* levelSlider() const { return level_; }

protected:
    void load() override;
    bool accept() override;

private:
    void enableLevel();

    QCheckBox* compress_;
    QSlider* level_;
    QList<QLabel*> labels_;
};

using CCompressionOptionsPage = WizardPage<CompressionContent>;
using CPageCompressionOptionsDlg = EditTab<CompressionContent>;
using CPageViewCompressionOptionsDlg = ViewTab<CompressionContent>;

}  // namespace keelvault::ui
