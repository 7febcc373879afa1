#pragma once

#include <filesystem>
#include <string>

namespace keelvault {

// The folder that holds every stored file: $XDG_DATA_HOME/keelvault, or
// ~/.local/share/keelvault. It stands where the program folder stood.
std::filesystem::path dataFolder();

// Creates the data folder with its "Data" and "Logs" folders; false on failure.
bool ensureDataFolders(const std::filesystem::path& folder);

inline std::filesystem::path tasksFilePath(const std::filesystem::path& folder) { return folder / "tasks_pro.tsk"; }
inline std::filesystem::path newTasksFilePath(const std::filesystem::path& folder) { return folder / "newtasks.tsk"; }
inline std::filesystem::path optionsFilePath(const std::filesystem::path& folder) { return folder / "opt_pro.dll"; }
inline std::filesystem::path serverListFilePath(const std::filesystem::path& folder) { return folder / "myserver.dll"; }
inline std::filesystem::path logsFolderPath(const std::filesystem::path& folder) { return folder / "Logs"; }
inline std::filesystem::path backupDataFolderPath(const std::filesystem::path& folder) { return folder / "Data"; }

// Reads a whole file; false when it cannot be opened or read.
bool readWholeFile(const std::filesystem::path& path, std::string& out);

// Writes a whole file safely: a temporary file in the same folder is written,
// flushed to disk and renamed over the old file, so the old file survives any
// failure. The file gets the given permissions (owner-only by default).
bool writeFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                         std::filesystem::perms perms = std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_write);

}  // namespace keelvault
