#include "ui/wizard/export_file_page.h"
#include "ui/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/editing/default_file_names.h"
#include "core/editing/export_rules.h"
#include "core/editing/view_texts.h"
#include "ui/icons.h"
#include "ui/wizard/file_chooser.h"

namespace keelvault::ui {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

ExportFileContent::ExportFileContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("ExportFilePage"));
    auto* form = new QFormLayout;
    directory_ = new QLineEdit(this);
    if (mode == PageMode::View) {
        type_view_ = new QLineEdit(this);
        type_view_->setReadOnly(true);
        directory_->setReadOnly(true);
        form->addRow(tr("File Type:"), type_view_);
        form->addRow(tr("Directory:"), directory_);
    } else {
        type_ = new QComboBox(this);
        for (const char* entry : {"  CSV Files  ", "  XML Files  ", "  HTML Files  ", "  TEXT Files  "}) {
            type_->addItem(uiIcon(QStringLiteral("table")), QString::fromLatin1(entry));
        }
        folder_ = new QPushButton(tr("&Folder..."), this);
        sample_ = new QLabel(this);
        auto* directory_row = new QHBoxLayout;
        directory_row->addWidget(directory_, 1);
        directory_row->addWidget(folder_);
        form->addRow(tr("File Type:"), type_);
        form->addRow(tr("Directory:"), directory_row);
        form->addRow(tr("File Name:"), sample_);
        connect(type_, &QComboBox::activated, this, [this](int index) { chooseType(index + 1); });
        connect(folder_, &QPushButton::clicked, this, [this] {
            const QString chosen = this->context().chooser.folder(
                window(), tr("Please select a folder where you want to store the files:"), directory_->text());
            if (!chosen.isEmpty()) directory_->setText(chosen);
        });
    }
    auto* group = new QGroupBox(tr("CSV and TEXT File Format"), this);
    separators_ = group;
    terminated_ = new QLineEdit(group);
    enclosed_ = new QLineEdit(group);
    escaped_ = new QLineEdit(group);
    lines_ = new QLineEdit(group);
    column_names_ = new QCheckBox(tr("Add Column Names On Top"), group);
    auto* separators = new QFormLayout(group);
    separators->addRow(tr("Fields Terminated By:"), terminated_);
    separators->addRow(tr("Fields Enclosed By:"), enclosed_);
    separators->addRow(tr("Fields Escaped By:"), escaped_);
    separators->addRow(tr("Lines Terminated By:"), lines_);
    separators->addRow(QString(), column_names_);
    if (mode == PageMode::View) {
        for (QLineEdit* e : {terminated_, enclosed_, escaped_, lines_}) e->setReadOnly(true);
        column_names_->setEnabled(false);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(group);
    layout->addStretch();
}

void ExportFileContent::chooseType(int format) {
    type_->setCurrentIndex(format - 1);
    const ExportTypeDefaults defaults = exportTypeDefaults(static_cast<uint8_t>(format));
    sample_->setText(qs(defaults.sample));
    terminated_->setText(qs(defaults.fields_terminated_by));
    enclosed_->setText(qs(defaults.fields_enclosed_by));
    escaped_->setText(qs(defaults.fields_escaped_by));
    lines_->setText(qs(defaults.lines_terminated_by));
    for (QWidget* w : std::initializer_list<QWidget*>{terminated_, enclosed_, escaped_, lines_, column_names_}) {
        w->setEnabled(defaults.separators_enabled);
    }
}

void ExportFileContent::load() {
    const CExportOptions& options = task().export_options;
    const ExportTexts texts = exportTexts(options);
    if (mode() == PageMode::View) {
        type_view_->setText(qs(exportTypeViewText(options.format)));
        directory_->setText(qs(options.directory));
        const bool separators = options.format == 1 || options.format == 4;
        separators_->setVisible(separators);
        terminated_->setText(qs(texts.fields_terminated_by));
        enclosed_->setText(qs(texts.fields_enclosed_by));
        escaped_->setText(qs(texts.fields_escaped_by));
        lines_->setText(qs(texts.lines_terminated_by));
        column_names_->setChecked(texts.column_names_on_top);
        return;
    }
    directory_->setText(options.directory.empty() ? qs(defaultBackupFolder(context().options, task().name))
                                                  : qs(options.directory));
    if (mode() == PageMode::Wizard) {
        // A new export starts as CSV with its separators, whatever the task held.
        chooseType(1);
        return;
    }
    if (texts.format >= 1 && texts.format <= 4) {
        chooseType(texts.format);
    } else {
        type_->setCurrentIndex(-1);
    }
    terminated_->setText(qs(texts.fields_terminated_by));
    enclosed_->setText(qs(texts.fields_enclosed_by));
    escaped_->setText(qs(texts.fields_escaped_by));
    lines_->setText(qs(texts.lines_terminated_by));
    column_names_->setChecked(texts.column_names_on_top);
}

bool ExportFileContent::accept() {
    ExportTexts texts;
    texts.format = static_cast<uint8_t>(type_->currentIndex() + 1);
    texts.directory = directory_->text().toStdString();
    texts.fields_terminated_by = terminated_->text().toStdString();
    texts.fields_enclosed_by = enclosed_->text().toStdString();
    texts.fields_escaped_by = escaped_->text().toStdString();
    texts.lines_terminated_by = lines_->text().toStdString();
    texts.column_names_on_top = column_names_->isChecked();
    const auto result = checkExportPage(texts);
    if (!result) {
        return refuseWith(result.failure().message, result.failure().focus == ExportField::FileType
                                                        ? static_cast<QWidget*>(type_)
                                                        : static_cast<QWidget*>(directory_));
    }
    task().export_options = result.value();
    return true;
}

}  // namespace keelvault::ui
