#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

class QLineEdit;
class QRadioButton;

namespace keelvault::ui {

class DatabaseCombo;
class ServerBlock;

// "Destination Database": the server block and an existing or a new database.
class DestDatabaseContent : public PageContent {
    Q_OBJECT
public:
    DestDatabaseContent(PageContext& context, PageMode mode, QWidget* parent = nullptr);

    QString title() const override { return tr("Destination Database"); }
    ServerBlock* block() const { return block_; }
    QRadioButton* existingButton() const { return existing_; }
    QRadioButton* newButton() const { return new_; }
    DatabaseCombo* databaseList() const { return databases_; }
    QLineEdit* newNameField() const { return new_name_; }

protected:
    void load() override;
    bool accept() override;

private:
    void choose(bool create);

    ServerBlock* block_;
    QRadioButton* existing_;
    QRadioButton* new_;
    DatabaseCombo* databases_;
    QLineEdit* new_name_;
};

using CDestDatabasePage = WizardPage<DestDatabaseContent>;
using CPageDestDatabaseDlg = EditTab<DestDatabaseContent>;

}  // namespace keelvault::ui
