#pragma once

#include <cstdint>
#include <string>

#include "core/model/options_file.h"

namespace keelvault {

// The task name made fit for a file name (see cleanFileNamePart), or
// "Default" when nothing is left of it.
std::string taskNameStem(const std::string& task_name);

// The folder default names start from: the options' default backup folder,
// ending in '/'. Options that hold none yet (the desktop fills it in at
// start-up, a headless list may never have) give the data folder's "Data"
// folder, so a default never turns into a path relative to wherever the
// program happens to run.
std::string defaultBackupBase(const CSystemOptions& options);

// Base + stem + ".sql" or, for the PHP file type (2), ".php".
std::string defaultBackupFile(const CSystemOptions& options, const std::string& task_name, uint8_t file_type);

// Base + stem + "/": the default backup folder of the new-files mode and the
// default directory of an export.
std::string defaultBackupFolder(const CSystemOptions& options, const std::string& task_name);

}  // namespace keelvault
