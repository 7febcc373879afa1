#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace keelvault {

inline constexpr uint32_t kOptionsMagic = 0xCABDF9E0;

struct CSystemOptions {
    std::string login_user;
    std::string login_password;
    uint8_t auto_run = 0;
    uint16_t hot_key_code = 77;      // 'M'
    uint16_t hot_key_modifiers = 6;  // 1 Shift, 2 Ctrl, 4 Alt, 8 extended
    uint8_t date_format = 1;
    uint8_t time_format = 1;
    int32_t last_tip = -1;
    uint8_t show_tips = 1;
    std::string default_backup_folder;
    uint8_t block_shutdown = 0;
    uint8_t log_size_limited = 0;
    int32_t max_log_size_kb = 0;
    uint8_t do_not_ask_auto_run = 0;

    bool operator==(const CSystemOptions&) const = default;
};

std::string serializeOptions(const CSystemOptions& options);
// On failure `out` is left unchanged.
bool parseOptions(const std::string& bytes, CSystemOptions& out);
bool loadOptions(const std::filesystem::path& path, CSystemOptions& out);
bool saveOptions(const std::filesystem::path& path, const CSystemOptions& options);

}  // namespace keelvault
