#pragma once

#include <string>

#include "core/scheduler/task_environment.h"

namespace keelvault {

class RunContext;

// ".csv", ".xml", ".html", or ".txt" for TEXT and any other value.
const char* exportFileExtension(int format);

// The export file of one table or view: the directory, a '/' when it does not
// end with one, then database "_" table and the extension. Slashes and NUL
// bytes in the names, and names that are only "." or "..", are replaced with
// '_' so the file stays in the directory. Empty when the directory is empty.
std::string exportFilePath(const std::string& directory, const std::string& database, const std::string& table,
                           int format);

struct ExportRunSettings {
    unsigned long version_override = 0;  // act as for a server of this version (0: as reported)
};

// The engine of task type 4: every entry of the export list is written from
// the source server to its own file in the export directory.
EngineResult runExportTask(RunContext& context);
EngineResult runExportTask(RunContext& context, const ExportRunSettings& settings);

}  // namespace keelvault
