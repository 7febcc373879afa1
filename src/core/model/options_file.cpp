#include "core/model/options_file.h"

#include "core/model/binary_io.h"
#include "core/platform/data_folder.h"

namespace keelvault {

namespace {
constexpr uint8_t kKey = 0x6B;
}  // namespace

std::string serializeOptions(const CSystemOptions& o) {
    ByteWriter w;
    w.u32(kOptionsMagic);
    w.text(o.login_user, kKey);
    w.text(o.login_password, kKey);
    w.u8(o.auto_run);
    w.u16(o.hot_key_code);
    w.u16(o.hot_key_modifiers);
    w.u8(o.date_format);
    w.u8(o.time_format);
    w.i32(o.last_tip);
    w.u8(o.show_tips);
    w.text(o.default_backup_folder, kKey);
    w.u8(o.block_shutdown);
    w.u8(o.log_size_limited);
    w.i32(o.max_log_size_kb);
    w.u8(o.do_not_ask_auto_run);
    return w.take();
}

// Bytes after the last field are ignored, so a file written by a later
// version that adds fields at the end still gives its known settings.
bool parseOptions(const std::string& bytes, CSystemOptions& out) {
    ByteReader r(bytes);
    if (r.u32() != kOptionsMagic || !r.ok()) return false;
    CSystemOptions o;
    o.login_user = r.text(kKey);
    o.login_password = r.text(kKey);
    o.auto_run = r.u8();
    o.hot_key_code = r.u16();
    o.hot_key_modifiers = r.u16();
    o.date_format = r.u8();
    o.time_format = r.u8();
    o.last_tip = r.i32();
    o.show_tips = r.u8();
    o.default_backup_folder = r.text(kKey);
    o.block_shutdown = r.u8();
    o.log_size_limited = r.u8();
    o.max_log_size_kb = r.i32();
    o.do_not_ask_auto_run = r.u8();
    if (!r.ok()) return false;
    out = std::move(o);
    return true;
}

bool loadOptions(const std::filesystem::path& path, CSystemOptions& out) {
    if (path.empty()) return false;
    std::string bytes;
    if (!readWholeFile(path, bytes)) return false;
    return parseOptions(bytes, out);
}

bool saveOptions(const std::filesystem::path& path, const CSystemOptions& options) {
    if (path.empty()) return false;
    // Holds the login password: owner-only, and never half-written.
    return writeFileAtomically(path, serializeOptions(options));
}

}  // namespace keelvault
