#pragma once

#include <QAbstractSpinBox>

class QLineEdit;

namespace keelvault::ui {

// A number edit with a spin: the arrows step within [low, high], while the
// edit takes any text up to `max_length` characters, so the page's own check
// decides what a typed text means and words the refusal.
class NumberSpin : public QAbstractSpinBox {
    Q_OBJECT
public:
    NumberSpin(int low, int high, int max_length, QWidget* parent = nullptr);

    QLineEdit* edit() const { return lineEdit(); }
    QString text() const;
    void setText(const QString& text);
    void setNumber(int value);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    QSize sizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;

private:
    int low_;
    int high_;
    int max_length_;
};

}  // namespace keelvault::ui
