#include "core/editing/buffer_rules.h"

#include <gtest/gtest.h>

#include "check_expect.h"

namespace keelvault {
namespace {

using test::accepted;
using test::refused;

TEST(BufferRules, StoreCounts) {
    struct Case {
        std::string count;
        int32_t accepted_as;  // 0: refused
    };
    const std::vector<Case> cases = {{"200 ", 0},
                                     {"007", 7},
                                     {"1", 1},
                                     {"10000", 10000},
                                     {"10001", 0},
                                     {"0", 0},
                                     {"", 0},
                                     {"2e2", 0},
                                     {" 200", 0},
                                     {"-5", 0},
                                     {"000000000000000000000200", 200}};
    for (const Case& c : cases) {
        const auto result = checkBufferPage({true, BufferChoice::Store, c.count});
        if (c.accepted_as == 0) {
            EXPECT_TRUE(refused(result, "Please input a number between 1 and 10000!", BufferField::Count)) << c.count;
        } else {
            ASSERT_TRUE(accepted(result)) << c.count;
            EXPECT_EQ(result.value(), (CBufferOptions{1, c.accepted_as})) << c.count;
        }
    }
}

TEST(BufferRules, EveryOtherChoiceStoresTwoHundredWhateverTheEditHolds) {
    struct Case {
        BufferTexts texts;
        CBufferOptions expected;
    };
    const std::vector<Case> cases = {
        {{false, BufferChoice::Store, "junk"}, {0, 200}},
        {{true, BufferChoice::StoreAll, "junk"}, {2, 200}},
        {{true, BufferChoice::None, "junk"}, {0, 200}},
    };
    for (const Case& c : cases) {
        const auto result = checkBufferPage(c.texts);
        ASSERT_TRUE(accepted(result));
        EXPECT_EQ(result.value(), c.expected);
    }
}

TEST(BufferRules, PageTextsShowTheCountOnlyInStoreMode) {
    BufferTexts texts = bufferTexts({1, 500});
    EXPECT_TRUE(texts.enabled);
    EXPECT_EQ(texts.choice, BufferChoice::Store);
    EXPECT_EQ(texts.count, "500");
    texts = bufferTexts({2, 500});
    EXPECT_EQ(texts.choice, BufferChoice::StoreAll);
    EXPECT_EQ(texts.count, "");
    EXPECT_FALSE(bufferTexts({0, 500}).enabled);
}

}  // namespace
}  // namespace keelvault
