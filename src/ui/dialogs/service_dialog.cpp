#include "ui/dialogs/service_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/platform/service_probe.h"
#include "ui/icons.h"
#include "ui/prompter.h"

namespace keelvault::ui {

ServiceDialog::ServiceDialog(Prompter& prompter, std::function<bool()> rights_test, QWidget* parent)
    : QDialog(parent), prompter_(prompter), rights_test_(std::move(rights_test)) {
    setObjectName(QStringLiteral("ServiceDialog"));
    setWindowTitle(QStringLiteral("Windows Service"));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral(
            "<p>The Keelvault service runs the task list of this user while nobody is logged on. It is the systemd "
            "unit <b>%1</b>, which runs <tt>keelvault-cli service</tt>.</p>"
            "<p>Install and start it with:<br><tt>systemctl --user enable --now %1</tt></p>"
            "<p>Stop it with:<br><tt>systemctl --user stop %1</tt></p>"
            "<p>While the service runs, this program only shows the tasks. Restart the program after stopping the "
            "service to take the tasks over again.</p>")
            .arg(QString::fromLatin1(kServiceUnitName)),
        this);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setMinimumWidth(420);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    test_ = buttons->addButton(QStringLiteral("&Test user rights"), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(test_, &QPushButton::clicked, this, &ServiceDialog::testRights);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ServiceDialog::testRights() {
    if (rights_test_ && rights_test_()) {
        prompter_.inform(
            QStringLiteral("Congratulations!\nYour current user have enough rights to install a Windows Service to system."));
    } else {
        prompter_.fail(QStringLiteral("There are not enough user rights to install a Windows Service!"));
    }
}

}  // namespace keelvault::ui
