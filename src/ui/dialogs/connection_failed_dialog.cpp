#include "ui/dialogs/connection_failed_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "core/engine/mysql_session.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"

namespace keelvault::ui {

ConnectionFailedDialog::ConnectionFailedDialog(const QString& text, Prompter& prompter, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ConnectionFailedDialog"));
    setWindowTitle(QString::fromLatin1(kMessageCaption));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon);
    text_ = new QLabel(text, this);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_->setWordWrap(true);
    text_->setMinimumWidth(320);
    row->addWidget(text_, 1);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    how_to_ = new QPushButton(tr("&How to connect to a MySQL server"), this);
    auto* ok = new QPushButton(tr("O&K"), this);
    ok->setDefault(true);
    buttons->addWidget(how_to_);
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(how_to_, &QPushButton::clicked, this,
            [&prompter] { prompter.openUrl(helpTopicUrl(QStringLiteral("howtoconnect.html"))); });
}

QString ConnectionFailedDialog::text() const {
    return text_->text();
}

void showConnectionFailure(Prompter& prompter, unsigned int error_number, const std::string& error_text,
                           QWidget* parent) {
    ConnectionFailedDialog dialog(QString::fromStdString(connectFailedDialogText(error_number, error_text)), prompter,
                                  parent);
    prompter.runDialog(dialog);
}

}  // namespace keelvault::ui
