#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <functional>

#include "scripted_prompter.h"
#include "ui/wizard/task_type_chooser.h"
#include "ui/wizard/task_wizard_sheet.h"

namespace keelvault::test {

// Fills one page of the wizard before Next is pressed on it.
using PageFiller = std::function<void(ui::CTaskWizardSheet&, TaskPage)>;

// Drives a shown wizard from its welcome page through every page to Finish,
// as a user clicking Next does; a page that refuses fails the test with the
// last message shown. Returns the wizard's result.
inline int driveWizard(ui::CTaskWizardSheet& wizard, const PageFiller& fill, const ScriptedPrompter& prompter) {
    wizard.show();
    if (wizard.currentId() != 0 || !wizard.goNext()) {
        ADD_FAILURE() << "the welcome page did not move on";
        return QDialog::Rejected;
    }
    for (TaskPage page : wizard.sequence()) {
        if (fill) fill(wizard, page);
        if (page == TaskPage::Summary) {
            wizard.button(QWizard::FinishButton)->click();
            return wizard.result();
        }
        if (!wizard.goNext()) {
            ADD_FAILURE() << "page " << static_cast<int>(page) << " refused Next: "
                          << (prompter.last() ? prompter.last()->text.toStdString() : std::string("(no message)"));
            wizard.reject();
            return QDialog::Rejected;
        }
    }
    return QDialog::Rejected;
}

// The user's side of New Task: the chooser picks `type`, the wizard is
// driven to Finish. Other dialogs are handed to `other`.
inline std::function<int(QDialog&)> newTaskScript(int type, PageFiller fill, const ScriptedPrompter& prompter,
                                                  std::function<int(QDialog&)> other = {}) {
    return [type, fill = std::move(fill), &prompter, other = std::move(other)](QDialog& dialog) {
        if (auto* chooser = qobject_cast<ui::TaskTypeChooser*>(&dialog)) {
            chooser->typeButton(type)->setChecked(true);
            chooser->accept();
            return chooser->result();
        }
        if (auto* wizard = qobject_cast<ui::CTaskWizardSheet*>(&dialog)) return driveWizard(*wizard, fill, prompter);
        return other ? other(dialog) : static_cast<int>(QDialog::Rejected);
    };
}

}  // namespace keelvault::test
