#include "ui/dialogs/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/icons.h"
#include "ui/platform/help.h"

namespace keelvault::ui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About Keelvault"));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(uiPixmap(QStringLiteral("keelvault"), QSize(64, 64)));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(QStringLiteral("<h3>Keelvault Professional Edition</h3>"
                                           "<p>Version 2.0</p>"
                                           "<p>Scheduled backups, copies, exports, scripts and restores for MySQL "
                                           "servers.</p>"
                                           "<p><a href=\"%1\">%1</a><br>%2</p>")
                                .arg(QString::fromLatin1(kWebSite), QString::fromLatin1(kSupportMail)),
                            this);
    text->setOpenExternalLinks(true);
    text->setWordWrap(true);
    row->addWidget(text, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

}  // namespace keelvault::ui
