#include "ui/wizard/task_type_chooser.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/editing/task_sheet_texts.h"
#include "ui/icons.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"

namespace keelvault::ui {

TaskTypeChooser::TaskTypeChooser(Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
    setObjectName(QStringLiteral("TaskTypeChooser"));
    setWindowTitle(tr("Create a new task"));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));

    // One choice across the three groups.
    auto* exclusive = new QButtonGroup(this);
    const auto group = [this, exclusive](const QString& title, std::initializer_list<int> types) {
        auto* box = new QGroupBox(title, this);
        auto* layout = new QVBoxLayout(box);
        for (int type : types) {
            auto* button = new QRadioButton(QString::fromStdString(taskTypeChooserCaption(type)), box);
            exclusive->addButton(button, type);
            buttons_[static_cast<size_t>(type - 1)] = button;
            layout->addWidget(button);
            const std::string description = taskTypeChooserDescription(type);
            if (!description.empty()) {
                auto* text = new QLabel(QString::fromStdString(description), box);
                text->setWordWrap(true);
                text->setContentsMargins(22, 0, 0, 6);
                text->setForegroundRole(QPalette::PlaceholderText);  // a note under its button
                layout->addWidget(text);
            }
        }
        return box;
    };

    auto* icon = new QLabel(this);
    icon->setPixmap(uiPixmap(QStringLiteral("keelvault"), QSize(48, 48)));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* create = new QPushButton(tr("Create &Task"), this);
    create->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    auto* help = new QPushButton(tr("&Help"), this);
    connect(create, &QPushButton::clicked, this, &TaskTypeChooser::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this,
            [this] { prompter_.openUrl(helpTopicUrl(QStringLiteral("taskwizard/choosetasktype.html"))); });

    auto* groups = new QVBoxLayout;
    groups->addWidget(group(tr("Backup"), {kTypeBackupToFiles, kTypeBackupToServer, kTypeBackupToDatabase}));
    groups->addWidget(group(tr("Restore"), {kTypeRestoreFromFiles, kTypeRestoreFromServer, kTypeRestoreFromDatabase}));
    groups->addWidget(group(tr("Accessories"), {kTypeExport, kTypeExecuteScript}));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(create);
    buttons->addWidget(cancel);
    buttons->addSpacing(12);
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(icon);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(groups, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setMinimumWidth(640);

    typeButton(kTypeBackupToFiles)->setChecked(true);
}

int TaskTypeChooser::chosenType() const {
    for (int type = 1; type <= 8; ++type) {
        if (typeButton(type)->isChecked()) return type;
    }
    return 0;
}

void TaskTypeChooser::accept() {
    if (chosenType() == 0) {
        prompter_.warn(tr("Please choose a task type!"));
        return;
    }
    QDialog::accept();
}

}  // namespace keelvault::ui
