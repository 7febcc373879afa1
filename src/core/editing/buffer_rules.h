#pragma once

#include <string>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The buffer mode page.
enum class BufferField { Count };

enum class BufferChoice { None, Store, StoreAll };

struct BufferTexts {
    bool enabled = false;  // "Use buffer mode to speed the task (Require enough memory space)"
    BufferChoice choice = BufferChoice::None;
    std::string count;  // "Store" N "records in the buffer"
};

// The page on first display: the stored count ("%d") shows only in mode 1.
BufferTexts bufferTexts(const CBufferOptions& options);

// Next. "Store" needs a count of digits only in 1..10000; every other choice
// stores the count as 200.
CheckResult<CBufferOptions, BufferField> checkBufferPage(const BufferTexts& texts);

}  // namespace keelvault
