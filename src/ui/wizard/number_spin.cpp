#include "ui/wizard/number_spin.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <algorithm>

#include "core/editing/number_text.h"

namespace keelvault::ui {

NumberSpin::NumberSpin(int low, int high, int max_length, QWidget* parent)
    : QAbstractSpinBox(parent), low_(low), high_(high), max_length_(max_length) {
    lineEdit()->setMaxLength(max_length);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
}

QString NumberSpin::text() const {
    return lineEdit()->text();
}

void NumberSpin::setText(const QString& text) {
    lineEdit()->setText(text.left(max_length_));
}

void NumberSpin::setNumber(int value) {
    setText(QString::number(value));
}

void NumberSpin::stepBy(int steps) {
    const auto value = numberTextValue(text().toStdString());
    const int64_t current = value ? *value : low_;
    setNumber(static_cast<int>(std::clamp<int64_t>(current + steps, low_, high_)));
}

QValidator::State NumberSpin::validate(QString& input, int&) const {
    return input.size() <= max_length_ ? QValidator::Acceptable : QValidator::Invalid;
}

void NumberSpin::fixup(QString&) const {}

QSize NumberSpin::sizeHint() const {
    QSize size = QAbstractSpinBox::sizeHint();
    const int digits = fontMetrics().horizontalAdvance(QString(max_length_ + 2, QLatin1Char('9')));
    size.setWidth(std::max(size.width(), digits + 24));
    return size;
}

QAbstractSpinBox::StepEnabled NumberSpin::stepEnabled() const {
    if (!isEnabled() || isReadOnly()) return StepNone;
    const auto value = numberTextValue(text().toStdString());
    if (!value) return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (*value < high_) enabled |= StepUpEnabled;
    if (*value > low_) enabled |= StepDownEnabled;
    return enabled;
}

}  // namespace keelvault::ui
