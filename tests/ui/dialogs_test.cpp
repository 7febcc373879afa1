#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>

#include "scripted_prompter.h"
#include "ui/dialogs/service_dialog.h"
#include "ui/dialogs/tip_dialog.h"

namespace keelvault::test {
namespace {

TEST(TipDialogTest, OpensAfterTheStoredTipAndWrapsBothWays) {
    struct Case {
        int32_t stored;
        int opens_at;
    };
    for (const Case c : {Case{-1, 0}, Case{3, 4}, Case{10, 11}, Case{11, 0}, Case{40, 0}}) {
        CSystemOptions options;
        options.last_tip = c.stored;
        ui::TipDialog dialog(options, nullptr);
        EXPECT_EQ(dialog.currentIndex(), c.opens_at) << c.stored;
    }

    CSystemOptions options;
    options.last_tip = 11;
    int saves = 0;
    ui::TipDialog dialog(options, [&] { ++saves; });
    EXPECT_EQ(dialog.counterText(), QStringLiteral("Tip 1 of 12"));
    EXPECT_TRUE(dialog.currentText().startsWith(QStringLiteral("\nWelcome to the Keelvault Professional Edition 2.0!")));
    dialog.previousButton()->click();
    EXPECT_EQ(dialog.counterText(), QStringLiteral("Tip 12 of 12"));
    EXPECT_EQ(dialog.currentText(),
              QStringLiteral("\nYou can view backups list and create a restore task at Backups List dialog."));
    dialog.nextButton()->click();
    dialog.nextButton()->click();
    EXPECT_EQ(dialog.counterText(), QStringLiteral("Tip 2 of 12"));
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(options.last_tip, 11);  // nothing stored before Close

    dialog.showOnStartUpBox()->setChecked(false);
    dialog.closeButton()->click();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(options.last_tip, 1);
    EXPECT_EQ(options.show_tips, 0);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ServiceDialogTest, TheRightsTestReportsEitherWay) {
    for (const bool may : {true, false}) {
        ScriptedPrompter prompter;
        ui::ServiceDialog dialog(prompter, [may] { return may; });
        dialog.testButton()->click();
        ASSERT_EQ(prompter.messages.size(), 1u);
        if (may) {
            EXPECT_EQ(prompter.messages[0].text,
                      QStringLiteral("Congratulations!\nYour current user have enough rights to install a Windows "
                                     "Service to system."));
            EXPECT_EQ(prompter.messages[0].icon, ui::PromptIcon::Information);
        } else {
            EXPECT_EQ(prompter.messages[0].text,
                      QStringLiteral("There are not enough user rights to install a Windows Service!"));
            EXPECT_EQ(prompter.messages[0].icon, ui::PromptIcon::Error);
        }
    }
}

}  // namespace
}  // namespace keelvault::test
