#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/model/task.h"

namespace keelvault {

inline constexpr uint32_t kServerListMagic = 0xCABDF9E0;
inline constexpr uint32_t kServerListOldMagic = 0xBFDFAEBA;
inline constexpr uint8_t kServerListOldKey = 0x5D;

std::string serializeServerList(const std::vector<CServerSettings>& servers);
// Reads either layout. On failure `out` is left unchanged. `was_current`
// (when given) tells whether the file was in the current layout, so the
// caller can convert an earlier one by saving.
bool parseServerList(const std::string& bytes, std::vector<CServerSettings>& out, bool* was_current = nullptr);
bool loadServerList(const std::filesystem::path& path, std::vector<CServerSettings>& out,
                    bool* was_current = nullptr);
bool saveServerList(const std::filesystem::path& path, const std::vector<CServerSettings>& servers);

}  // namespace keelvault
