#include "core/editing/task_name_rules.h"

#include <gtest/gtest.h>

#include "check_expect.h"

namespace keelvault {
namespace {

using test::accepted;
using test::refused;

TEST(TaskNameRules, ProposedNameCountsTheListAndKeepsAStoredName) {
    EXPECT_EQ(proposedTaskName("", 0), "Task 1");
    EXPECT_EQ(proposedTaskName("", 3), "Task 4");
    EXPECT_EQ(proposedTaskName("Nightly", 3), "Nightly");
}

TEST(TaskNameRules, EmptyAndDuplicateNamesAreRefused) {
    const std::vector<std::string> names = {"Task 4", "Nightly", "Weekly"};
    const std::string duplicate = "The task name is already existed!\nPlease choose a different task name.";

    EXPECT_TRUE(refused(checkTaskName({"", "c"}, names, -1), "Please input task name!", TaskNameField::Name));
    // The proposal for a list of three is not made unique beforehand.
    EXPECT_TRUE(refused(checkTaskName({proposedTaskName("", 3), ""}, names, -1), duplicate, TaskNameField::Name));
    EXPECT_TRUE(refused(checkTaskName({"Nightly", ""}, names, -1), duplicate, TaskNameField::Name));
    // A name is compared as typed: no trimming, letter case matters.
    EXPECT_TRUE(accepted(checkTaskName({"nightly", ""}, names, -1)));
    EXPECT_TRUE(accepted(checkTaskName({"Nightly ", ""}, names, -1)));
    EXPECT_TRUE(accepted(checkTaskName({" ", ""}, names, -1)));
}

TEST(TaskNameRules, TheEditedTaskKeepsItsOwnNameButNotAnother) {
    const std::vector<std::string> names = {"A", "B", "C"};
    const auto result = checkTaskName({"B", "comment"}, names, 1);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().name, "B");
    EXPECT_EQ(result.value().comment, "comment");
    EXPECT_FALSE(checkTaskName({"C", ""}, names, 1).ok());
}

}  // namespace
}  // namespace keelvault
