#include "core/editing/buffer_rules.h"

#include "core/editing/number_text.h"

namespace keelvault {

BufferTexts bufferTexts(const CBufferOptions& options) {
    BufferTexts texts;
    if (options.mode == 1) {
        texts.enabled = true;
        texts.choice = BufferChoice::Store;
        texts.count = std::to_string(options.records);
    } else if (options.mode == 2) {
        texts.enabled = true;
        texts.choice = BufferChoice::StoreAll;
    }
    return texts;
}

CheckResult<CBufferOptions, BufferField> checkBufferPage(const BufferTexts& texts) {
    CBufferOptions options;  // mode 0, 200 records
    if (!texts.enabled) return options;
    if (texts.choice == BufferChoice::Store) {
        if (!numberTextInRange(texts.count, 1, 10000)) {
            return refuse("Please input a number between 1 and 10000!", BufferField::Count);
        }
        options.mode = 1;
        options.records = static_cast<int32_t>(*numberTextValue(texts.count));
    } else if (texts.choice == BufferChoice::StoreAll) {
        options.mode = 2;
    }
    return options;
}

}  // namespace keelvault
