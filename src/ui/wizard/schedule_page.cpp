#include "ui/wizard/schedule_page.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <memory>

#include "core/editing/schedule_rules.h"
#include "core/editing/view_texts.h"
#include "ui/dialogs/schedule_settings_dialogs.h"
#include "ui/prompter.h"

namespace keelvault::ui {

namespace {

// The order of the radio buttons on the page.
constexpr std::array<int, 6> kShownOrder = {kScheduleManual,    kScheduleTimeInterval, kScheduleEveryDay,
                                            kScheduleEveryWeek, kScheduleEveryMonth,   kScheduleSpecialDate};

const char* kindCaption(int kind) {
    switch (kind) {
        case kScheduleManual:
            return "Manual";
        case kScheduleTimeInterval:
            return "Time Interval";
        case kScheduleEveryDay:
            return "Every Day";
        case kScheduleEveryWeek:
            return "Every Week";
        case kScheduleEveryMonth:
            return "Every Month";
        default:
            return "Special Date";
    }
}

}  // namespace

ScheduleContent::ScheduleContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("SchedulePage"));
    auto* layout = new QVBoxLayout(this);
    if (mode == PageMode::View) {
        kind_view_ = new QLineEdit(this);
        kind_view_->setReadOnly(true);
        settings_view_ = new QPlainTextEdit(this);
        settings_view_->setReadOnly(true);
        auto* form = new QFormLayout;
        form->addRow(tr("Task Schedule:"), kind_view_);
        form->addRow(tr("Settings:"), settings_view_);
        layout->addLayout(form);
        return;
    }
    if (mode == PageMode::Edit) {
        auto* heading = new QLineEdit(tr("Task Schedule"), this);
        heading->setReadOnly(true);
        heading->setFrame(false);
        layout->addWidget(heading);
    }
    auto* group = new QGroupBox(tr("Task Schedule"), this);
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (int kind : kShownOrder) {
        auto* radio = new QRadioButton(tr(kindCaption(kind)), group);
        radios_[static_cast<size_t>(kind)] = radio;
        grid->addWidget(radio, row, 0);
        connect(radio, &QRadioButton::clicked, this, [this, kind] { choose(kind); });
        if (kind != kScheduleManual) {
            auto* button = new QPushButton(tr("Settings..."), group);
            button->setEnabled(false);
            settings_[static_cast<size_t>(kind)] = button;
            grid->addWidget(button, row, 1);
            connect(button, &QPushButton::clicked, this, [this, kind] { openSettings(kind); });
        }
        ++row;
    }
    grid->setColumnStretch(2, 1);
    layout->addWidget(group);
    layout->addStretch();
}

void ScheduleContent::load() {
    working_ = task().schedule;
    if (mode() == PageMode::View) {
        const ScheduleViewText view = scheduleViewText(working_, context().options);
        kind_view_->setText(QString::fromStdString(view.kind));
        settings_view_->setPlainText(QString::fromStdString(view.settings));
        return;
    }
    const int kind = scheduleChoiceFor(working_);
    radios_[static_cast<size_t>(kind)]->setChecked(true);
    choose(kind);
}

void ScheduleContent::choose(int kind) {
    for (int k = 1; k < 6; ++k) settings_[static_cast<size_t>(k)]->setEnabled(k == kind);
    working_.kind = static_cast<uint8_t>(kind);
}

void ScheduleContent::openSettings(int kind) {
    std::unique_ptr<ScheduleSettingsDialog> dialog;
    switch (kind) {
        case kScheduleTimeInterval:
            dialog = std::make_unique<IntervalSettingsDialog>(working_, prompter(), window());
            break;
        case kScheduleEveryDay:
            dialog = std::make_unique<EveryDaySettingsDialog>(working_, prompter(), window());
            break;
        case kScheduleEveryWeek:
            dialog = std::make_unique<DaysSettingsDialog>(false, working_, prompter(), window());
            break;
        case kScheduleEveryMonth:
            dialog = std::make_unique<DaysSettingsDialog>(true, working_, prompter(), window());
            break;
        default:
            dialog = std::make_unique<SpecialDateSettingsDialog>(working_, context().options, prompter(), window());
            break;
    }
    if (prompter().runDialog(*dialog) == QDialog::Accepted && editable()) {
        working_ = dialog->schedule();
        working_.kind = static_cast<uint8_t>(kind);
    }
}

bool ScheduleContent::accept() {
    std::optional<uint8_t> chosen;
    for (int k = 0; k < 6; ++k) {
        if (radios_[static_cast<size_t>(k)]->isChecked()) chosen = static_cast<uint8_t>(k);
    }
    const ScheduleResult result = checkSchedulePage(working_, chosen);
    if (!result) {
        QWidget* focus = result.failure().focus == ScheduleField::Choice || !chosen
                             ? static_cast<QWidget*>(radios_[0])
                             : static_cast<QWidget*>(settings_[*chosen]);
        return refuseWith(result.failure().message, focus);
    }
    task().schedule = result.value();
    return true;
}

}  // namespace keelvault::ui
