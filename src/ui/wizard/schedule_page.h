#pragma once

#include <array>

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace keelvault::ui {

// "Task Schedule": the six kinds, each but Manual with its "Settings..."
// dialog, on a working copy of the schedule.
class ScheduleContent : public PageContent {
    Q_OBJECT
public:
    ScheduleContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Task Schedule"); }

    // The radio button of a kind (0 Manual .. 5 Time Interval) and the
    // "Settings..." button of kinds 1..5.
    QRadioButton* kindButton(int kind) const { return radios_[static_cast<size_t>(kind)]; }
    QPushButton* settingsButton(int kind) const { return settings_[static_cast<size_t>(kind)]; }
    const CSchedule& working() const { return working_; }
    QLineEdit* kindView() const { return kind_view_; }
    QPlainTextEdit* settingsView() const { return settings_view_; }

protected:
    void load() override;
    bool accept() override;

private:
    void choose(int kind);
    void openSettings(int kind);

    CSchedule working_;
    std::array<QRadioButton*, 6> radios_{};
    std::array<QPushButton*, 6> settings_{};
    QLineEdit* kind_view_ = nullptr;
    QPlainTextEdit* settings_view_ = nullptr;
};

using CAutoRunOptionsPage = WizardPage<ScheduleContent>;
using CPageAutoRunOptionsDlg = EditTab<ScheduleContent>;
using CPageViewAutoRunOptionsDlg = ViewTab<ScheduleContent>;

}  // namespace keelvault::ui
