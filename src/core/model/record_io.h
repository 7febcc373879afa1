#pragma once

#include "core/model/binary_io.h"
#include "core/model/task.h"
#include "core/model/task_time.h"

namespace keelvault {

// Layouts shared by several stored files.

// Seven 32-bit fields, year first, day of week last.
void writeTaskTime(ByteWriter& w, const TaskTime& t);
TaskTime readTaskTime(ByteReader& r);

// A server record: its texts under `key`; the earlier server list layout
// lacks the last byte (reserved flag 2).
void writeServerSettings(ByteWriter& w, const CServerSettings& s, uint8_t key);
void readServerSettings(ByteReader& r, CServerSettings& s, uint8_t key, bool with_reserved = true);

}  // namespace keelvault
