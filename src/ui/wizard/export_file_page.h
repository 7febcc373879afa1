#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace keelvault::ui {

// "Export Tables to CSV/XML/HTML/TEXT Files": the file type, the directory
// and the CSV/TEXT separators.
class ExportFileContent : public PageContent {
    Q_OBJECT
public:
    ExportFileContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Export Tables to CSV/XML/HTML/TEXT Files"); }

    QComboBox* typeList() const { return type_; }
    QLineEdit* typeView() const { return type_view_; }
    QLineEdit* directoryField() const { return directory_; }
    QPushButton* folderButton() const { return folder_; }
    QLabel* sampleText() const { return sample_; }
    QLineEdit* terminatedField() const { return terminated_; }
    QLineEdit* enclosedField() const { return enclosed_; }
    QLineEdit* escapedField() const { return escaped_; }
    QLineEdit* linesField() const { return lines_; }
    QCheckBox* columnNamesBox() const { return column_names_; }
    // Chooses a type as the user does in the list (1 CSV .. 4 TEXT).
    void chooseType(int format);

protected:
    void load() override;
    bool accept() override;

private:
    QComboBox* type_ = nullptr;
    QLineEdit* type_view_ = nullptr;
    QLineEdit* directory_;
    QPushButton* folder_ = nullptr;
    QLabel* sample_ = nullptr;
    QLineEdit* terminated_;
    QLineEdit* enclosed_;
    QLineEdit* escaped_;
    QLineEdit* lines_;
    QCheckBox* column_names_;
    QWidget* separators_;
};

using CExportFilePage = WizardPage<ExportFileContent>;
using CPageExportFileDlg = EditTab<ExportFileContent>;
using CPageViewExportFileDlg = ViewTab<ExportFileContent>;

}  // namespace keelvault::ui
