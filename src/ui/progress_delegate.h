#pragma once

#include <QStyledItemDelegate>

namespace keelvault::ui {

// Paints the status of a running task as a progress bar that keeps the
// status text; every other cell as usual.
class ProgressDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace keelvault::ui
