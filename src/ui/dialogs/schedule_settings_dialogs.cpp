#include "ui/dialogs/schedule_settings_dialogs.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/editing/view_texts.h"
#include "core/model/task_time.h"
#include "core/scheduler/schedule.h"
#include "ui/prompter.h"
#include "ui/wizard/number_spin.h"

namespace keelvault::ui {

namespace {

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

}  // namespace

ScheduleSettingsDialog::ScheduleSettingsDialog(const CSchedule& working, Prompter& prompter, QWidget* parent)
    : QDialog(parent), working_(working), prompter_(prompter), schedule_(working) {}

void ScheduleSettingsDialog::finish(QLayout* fields) {
    ok_ = new QPushButton(tr("O&K"), this);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &ScheduleSettingsDialog::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ScheduleSettingsDialog::addTimeLists(QLayout* into) {
    hour_ = new QComboBox(this);
    minute_ = new QComboBox(this);
    for (int h = 0; h < 24; ++h) hour_->addItem(twoDigits(h));
    for (int m = 0; m < 60; ++m) minute_->addItem(twoDigits(m));
    hour_->setCurrentIndex(working_.hour >= 0 && working_.hour <= 23 ? working_.hour : -1);
    minute_->setCurrentIndex(working_.minute >= 0 && working_.minute <= 59 ? working_.minute : -1);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Time:"), this));
    row->addWidget(hour_);
    row->addWidget(new QLabel(QStringLiteral(":"), this));
    row->addWidget(minute_);
    row->addStretch();
    if (auto* box = qobject_cast<QBoxLayout*>(into)) box->addLayout(row);
}

RunTimeChoice ScheduleSettingsDialog::runTime() const {
    RunTimeChoice time;
    if (hour_->currentIndex() >= 0) time.hour = hour_->currentIndex();
    if (minute_->currentIndex() >= 0) time.minute = minute_->currentIndex();
    return time;
}

QWidget* ScheduleSettingsDialog::focusFor(ScheduleField field) const {
    switch (field) {
        case ScheduleField::Hour:
            return hour_;
        case ScheduleField::Minute:
            return minute_;
        default:
            return nullptr;
    }
}

void ScheduleSettingsDialog::onOk() {
    const ScheduleResult result = check();
    if (!result) {
        prompter_.warn(QString::fromStdString(result.failure().message));
        if (QWidget* focus = focusFor(result.failure().focus)) focus->setFocus();
        return;
    }
    schedule_ = result.value();
    accept();
}

IntervalSettingsDialog::IntervalSettingsDialog(const CSchedule& working, Prompter& prompter, QWidget* parent)
    : ScheduleSettingsDialog(working, prompter, parent) {
    setObjectName(QStringLiteral("IntervalSettingsDialog"));
    setWindowTitle(tr("Time Interval Settings"));
    minutes_ = new NumberSpin(1, 99999, 5, this);
    minutes_->setNumber(working.interval_minutes);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Minutes:"), this));
    row->addWidget(minutes_);
    row->addStretch();
    finish(row);
}

ScheduleResult IntervalSettingsDialog::check() const {
    return applyIntervalSettings(working_, minutes_->text().toStdString());
}

EveryDaySettingsDialog::EveryDaySettingsDialog(const CSchedule& working, Prompter& prompter, QWidget* parent)
    : ScheduleSettingsDialog(working, prompter, parent) {
    setObjectName(QStringLiteral("EveryDaySettingsDialog"));
    setWindowTitle(tr("Every Day Settings"));
    auto* fields = new QVBoxLayout;
    addTimeLists(fields);
    finish(fields);
}

ScheduleResult EveryDaySettingsDialog::check() const {
    return applyEveryDaySettings(working_, runTime());
}

DaysSettingsDialog::DaysSettingsDialog(bool month, const CSchedule& working, Prompter& prompter, QWidget* parent)
    : ScheduleSettingsDialog(working, prompter, parent), month_(month) {
    setObjectName(month ? QStringLiteral("EveryMonthSettingsDialog") : QStringLiteral("EveryWeekSettingsDialog"));
    setWindowTitle(month ? tr("Every Month Settings") : tr("Every Week Settings"));
    auto* fields = new QVBoxLayout;
    addTimeLists(fields);
    auto* grid = new QGridLayout;
    const int count = month ? 31 : 7;
    const int columns = month ? 7 : 4;
    for (int i = 0; i < count; ++i) {
        auto* box = new QCheckBox(QString::fromStdString(month ? monthDayName(i + 1) : weekDayName(i)), this);
        box->setChecked(month ? working.month_days[static_cast<size_t>(i)] : working.week_days[static_cast<size_t>(i)]);
        grid->addWidget(box, i / columns, i % columns);
        boxes_.push_back(box);
    }
    fields->addLayout(grid);
    select_all_ = new QPushButton(tr("Select All"), this);
    deselect_all_ = new QPushButton(tr("Deselect All"), this);
    invert_ = new QPushButton(tr("Invert"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(select_all_);
    buttons->addWidget(deselect_all_);
    buttons->addWidget(invert_);
    buttons->addStretch();
    fields->addLayout(buttons);
    connect(select_all_, &QPushButton::clicked, this, [this] {
        for (QCheckBox* b : boxes_) b->setChecked(true);
    });
    connect(deselect_all_, &QPushButton::clicked, this, [this] {
        for (QCheckBox* b : boxes_) b->setChecked(false);
    });
    connect(invert_, &QPushButton::clicked, this, [this] {
        for (QCheckBox* b : boxes_) b->setChecked(!b->isChecked());
    });
    finish(fields);
}

ScheduleResult DaysSettingsDialog::check() const {
    if (month_) {
        std::array<uint8_t, 31> days{};
        for (size_t i = 0; i < 31; ++i) days[i] = boxes_[i]->isChecked() ? 1 : 0;
        return applyEveryMonthSettings(working_, runTime(), days);
    }
    std::array<uint8_t, 7> days{};
    for (size_t i = 0; i < 7; ++i) days[i] = boxes_[i]->isChecked() ? 1 : 0;
    return applyEveryWeekSettings(working_, runTime(), days);
}

SpecialDateSettingsDialog::SpecialDateSettingsDialog(const CSchedule& working, const CSystemOptions& options,
                                                     Prompter& prompter, QWidget* parent)
    : ScheduleSettingsDialog(working, prompter, parent), options_(options) {
    setObjectName(QStringLiteral("SpecialDateSettingsDialog"));
    setWindowTitle(tr("Special Date Settings"));
    calendar_ = new QCalendarWidget(this);
    calendar_->setGridVisible(true);
    if (isValidDate(working.year, working.month, working.day)) {
        calendar_->setSelectedDate(QDate(working.year, working.month, working.day));
    }
    date_text_ = new QLabel(this);
    date_text_->setAlignment(Qt::AlignCenter);
    auto* fields = new QVBoxLayout;
    fields->addWidget(calendar_);
    fields->addWidget(date_text_);
    addTimeLists(fields);
    repeat_ = new NumberSpin(0, 1000, 4, this);
    repeat_->setNumber(working.every_n_days);
    auto* repeat_row = new QHBoxLayout;
    repeat_row->addWidget(new QLabel(tr("Run the task every"), this));
    repeat_row->addWidget(repeat_);
    repeat_row->addWidget(new QLabel(tr("day(s)"), this));
    repeat_row->addStretch();
    fields->addLayout(repeat_row);
    connect(calendar_, &QCalendarWidget::selectionChanged, this, &SpecialDateSettingsDialog::showDate);
    showDate();
    finish(fields);
}

void SpecialDateSettingsDialog::showDate() {
    const QDate date = calendar_->selectedDate();
    // The date alone: the options' date format with the day name.
    std::string text = formatTaskTime(date.year(), date.month(), date.day(), 0, 0, 0,
                                      dayOfWeek(date.year(), date.month(), date.day()), options_.date_format, 0, false);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    date_text_->setText(QString::fromStdString(text));
}

ScheduleResult SpecialDateSettingsDialog::check() const {
    const QDate date = calendar_->selectedDate();
    return applySpecialDateSettings(working_, runTime(), date.year(), date.month(), date.day(),
                                    repeat_->text().toStdString());
}

}  // namespace keelvault::ui
