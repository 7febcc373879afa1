#pragma once

#include <functional>
#include <memory>

#include "core/engine/script_reader.h"
#include "core/scheduler/task_environment.h"

namespace keelvault {

class RunContext;

// Makes the reader of each file of a run; tests give one that fails on purpose.
using SqlFileReaderFactory = std::function<std::unique_ptr<SqlFileReader>()>;

// One run of a "Restore by SQL and GZIP files" task: replays the task's SQL
// and GZIP files, in order, against its destination server, under the two
// continue-on-error flags. A GZIP file is unpacked beside itself first and
// the unpacked file is deleted when its file is done, also on a cancel.
EngineResult runRestoreFromFiles(RunContext& context, const SqlFileReaderFactory& make_reader = {});

}  // namespace keelvault
