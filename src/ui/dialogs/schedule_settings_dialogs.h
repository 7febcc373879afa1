#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "core/editing/schedule_rules.h"
#include "core/model/options_file.h"

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace keelvault::ui {

class NumberSpin;
class Prompter;

// The five "Settings..." dialogs of the schedule page. Each edits a copy of
// the page's working schedule; after O&K, schedule() is the changed copy.
class ScheduleSettingsDialog : public QDialog {
    Q_OBJECT
public:
    ScheduleSettingsDialog(const CSchedule& working, Prompter& prompter, QWidget* parent);

    const CSchedule& schedule() const { return schedule_; }
    QPushButton* okButton() const { return ok_; }

protected:
    // The dialog's own check, from the working schedule.
    virtual ScheduleResult check() const = 0;
    // Lays out the fields above the buttons.
    void finish(QLayout* fields);
    // The hour and minute lists, for the dialogs with a run time.
    void addTimeLists(QLayout* into);
    RunTimeChoice runTime() const;
    QWidget* focusFor(ScheduleField field) const;

    CSchedule working_;
    QComboBox* hour_ = nullptr;
    QComboBox* minute_ = nullptr;

public:
    QComboBox* hourList() const { return hour_; }
    QComboBox* minuteList() const { return minute_; }

private:
    void onOk();

    Prompter& prompter_;
    CSchedule schedule_;
    QPushButton* ok_ = nullptr;
};

class IntervalSettingsDialog : public ScheduleSettingsDialog {
    Q_OBJECT
public:
    IntervalSettingsDialog(const CSchedule& working, Prompter& prompter, QWidget* parent = nullptr);
    NumberSpin* minutesSpin() const { return minutes_; }

protected:
    ScheduleResult check() const override;

private:
    NumberSpin* minutes_;
};

class EveryDaySettingsDialog : public ScheduleSettingsDialog {
    Q_OBJECT
public:
    EveryDaySettingsDialog(const CSchedule& working, Prompter& prompter, QWidget* parent = nullptr);

protected:
    ScheduleResult check() const override;
};

// Every Week (7 boxes, Sunday first) and Every Month (31 boxes).
class DaysSettingsDialog : public ScheduleSettingsDialog {
    Q_OBJECT
public:
    DaysSettingsDialog(bool month, const CSchedule& working, Prompter& prompter, QWidget* parent = nullptr);
    QCheckBox* dayBox(int index) const { return boxes_[static_cast<size_t>(index)]; }
    QPushButton* selectAllButton() const { return select_all_; }
    QPushButton* deselectAllButton() const { return deselect_all_; }
    QPushButton* invertButton() const { return invert_; }

protected:
    ScheduleResult check() const override;

private:
    bool month_;
    std::vector<QCheckBox*> boxes_;
    QPushButton* select_all_;
    QPushButton* deselect_all_;
    QPushButton* invert_;
};

class SpecialDateSettingsDialog : public ScheduleSettingsDialog {
    Q_OBJECT
public:
    SpecialDateSettingsDialog(const CSchedule& working, const CSystemOptions& options, Prompter& prompter,
                              QWidget* parent = nullptr);
    QCalendarWidget* calendar() const { return calendar_; }
    NumberSpin* repeatSpin() const { return repeat_; }
    QLabel* dateText() const { return date_text_; }

protected:
    ScheduleResult check() const override;

private:
    void showDate();

    const CSystemOptions& options_;
    QCalendarWidget* calendar_;
    NumberSpin* repeat_;
    QLabel* date_text_;
};

}  // namespace keelvault::ui
