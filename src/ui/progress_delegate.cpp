#include "ui/progress_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionProgressBar>
#include <algorithm>
#include <cmath>

#include "ui/task_list_model.h"

namespace keelvault::ui {

namespace {

constexpr int kSteps = 1000;

}  // namespace

void ProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant fraction = index.data(TaskListModel::ProgressRole);
    if (!fraction.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    // The row's background and selection, without the text.
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    QStyleOptionProgressBar bar;
    bar.initFrom(item.widget);
    bar.rect = option.rect.adjusted(2, 2, -2, -2);
    bar.state = QStyle::State_Enabled | QStyle::State_Horizontal;
    bar.direction = option.direction;
    bar.fontMetrics = option.fontMetrics;
    bar.minimum = 0;
    const double value = fraction.toDouble();
    // Without a measure the bar shows that the run is busy.
    bar.maximum = value < 0 ? 0 : kSteps;
    bar.progress = value < 0 ? 0 : static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * kSteps));
    bar.text = index.data(Qt::DisplayRole).toString();
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, item.widget);
}

}  // namespace keelvault::ui
