#include "ui/wizard/task_wizard_sheet.h"

#include <QAbstractButton>

#include "ui/icons.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"
#include "ui/wizard/page_hosts.h"
#include "ui/wizard/task_pages.h"
#include "ui/wizard/welcome_page.h"

namespace keelvault::ui {

namespace {

CTask workingRecord(const CTask& record) {
    if (record.task_type >= kTypeBackupToFiles && record.task_type <= kTypeRestoreFromDatabase) return record;
    return newTaskOfType(kTypeBackupToFiles);
}

}  // namespace

CTaskWizardSheet::CTaskWizardSheet(const SheetSetup& setup, const CTask& record, QWidget* parent)
    : QWizard(parent),
      task_(workingRecord(record)),
      context_{task_,         setup.servers,    setup.save_servers,
               setup.options, setup.prompter,   setup.chooser,
               cache_,        setup.task_names, -1},
      sequence_(wizardPages(task_.task_type)) {
    setObjectName(QStringLiteral("TaskWizard"));
    setWindowTitle(tr("Task Wizard"));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::HaveHelpButton, true);
    setOption(QWizard::NoBackButtonOnStartPage, false);
    setPixmap(QWizard::LogoPixmap, uiPixmap(QStringLiteral("keelvault"), QSize(48, 48)));
    setButtonText(QWizard::BackButton, tr("< &Back"));
    setButtonText(QWizard::NextButton, tr("&Next >"));
    setButtonText(QWizard::FinishButton, tr("Finish"));
    setButtonText(QWizard::CancelButton, tr("Cancel"));
    setButtonText(QWizard::HelpButton, tr("&Help"));
    setMinimumSize(720, 560);

    // The welcome and summary pages show the tall picture; the pages between
    // carry a header with the step and the logo.
    const QPixmap watermark = uiPixmap(QStringLiteral("wizard_watermark"), QSize(164, 520));
    auto* welcome = new CMainPage(context_);
    welcome->setPixmap(QWizard::WatermarkPixmap, watermark);
    hosts_.push_back(welcome);
    addPage(welcome);
    const int steps = static_cast<int>(sequence_.size());
    for (int step = 1; step <= steps; ++step) {
        const TaskPage kind = sequence_[static_cast<size_t>(step - 1)];
        auto* host = new WizardPageHost(createTaskPage(kind, context_, PageMode::Wizard));
        if (kind == TaskPage::Summary) {
            host->setPixmap(QWizard::WatermarkPixmap, watermark);
        } else {
            host->setSubTitle(tr("Step %1 of %2").arg(step).arg(steps));
        }
        hosts_.push_back(host);
        addPage(host);
    }
    connect(this, &QWizard::currentIdChanged, this, &CTaskWizardSheet::updateTitle);
    connect(this, &QWizard::helpRequested, this, [this] {
        context_.prompter.openUrl(helpTopicUrl(QString::fromStdString(taskTypeHelpTopic(task_.task_type))));
    });
}

PageContent* CTaskWizardSheet::content(int id) const {
    if (id < 0 || id >= static_cast<int>(hosts_.size())) return nullptr;
    return &hosts_[static_cast<size_t>(id)]->content();
}

bool CTaskWizardSheet::goNext() {
    const int before = currentId();
    next();
    return currentId() != before;
}

void CTaskWizardSheet::updateTitle(int id) {
    if (id <= 0) {
        setWindowTitle(QString::fromLatin1(kWelcomeCaption));
        return;
    }
    setWindowTitle(QString::fromStdString(wizardCaption(task_.task_type, id)));
}

}  // namespace keelvault::ui
