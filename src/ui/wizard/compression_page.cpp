#include "ui/wizard/compression_page.h"
#include "ui/prompter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace keelvault::ui {

CompressionContent::CompressionContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("CompressionPage"));
    compress_ = new QCheckBox(tr("Compress a SQL backup file to a gzip (.gz) file (not apply to PHP file)"), this);
    auto* group = new QGroupBox(tr("Compression Level"), this);
    level_ = new QSlider(Qt::Horizontal, group);
    level_->setRange(1, 9);
    level_->setTickPosition(QSlider::TicksBelow);
    level_->setTickInterval(1);
    level_->setPageStep(1);
    auto* grid = new QGridLayout(group);
    grid->addWidget(level_, 0, 0, 1, 3);
    auto* lowest = new QLabel(tr("Lowest"), group);
    auto* middle = new QLabel(tr("Default"), group);
    auto* highest = new QLabel(tr("Highest"), group);
    grid->addWidget(lowest, 1, 0, Qt::AlignLeft);
    grid->addWidget(middle, 1, 1, Qt::AlignHCenter);
    grid->addWidget(highest, 1, 2, Qt::AlignRight);
    auto* speed = new QLabel(tr("Lowest level gives best speed and lowest compression rate"), group);
    auto* rate = new QLabel(tr("Highest level gives best compression rate and slowest speed"), group);
    grid->addWidget(speed, 2, 0, 1, 3);
    grid->addWidget(rate, 3, 0, 1, 3);
    labels_ = {lowest, middle, highest, speed, rate};
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(compress_);
    layout->addWidget(group);
    layout->addStretch();
    if (!editable()) compress_->setEnabled(false);
    connect(compress_, &QCheckBox::toggled, this, &CompressionContent::enableLevel);
}

void CompressionContent::enableLevel() {
    const bool on = editable() && compress_->isChecked();
    level_->setEnabled(on);
    for (QLabel* label : labels_) label->setEnabled(on);
}

void CompressionContent::load() {
    const CBackupOptions& options = task().backup_options;
    compress_->setChecked(options.gzip != 0);
    level_->setValue(options.compression_level);
    enableLevel();
}

bool CompressionContent::accept() {
    task().backup_options.gzip = compress_->isChecked() ? 1 : 0;
    task().backup_options.compression_level = level_->value();
    return true;
}

}  // namespace keelvault::ui
