#include "core/model/server_list_file.h"

#include "core/model/binary_io.h"
#include "core/model/record_io.h"
#include "core/platform/data_folder.h"

namespace keelvault {

namespace {

constexpr uint8_t kKey = 0x6B;

}  // namespace

std::string serializeServerList(const std::vector<CServerSettings>& servers) {
    ByteWriter w;
    w.u32(kServerListMagic);
    for (const CServerSettings& s : servers) writeServerSettings(w, s, kKey);
    return w.take();
}

bool parseServerList(const std::string& bytes, std::vector<CServerSettings>& out, bool* was_current) {
    ByteReader r(bytes);
    const uint32_t magic = r.u32();
    if (!r.ok()) return false;
    bool current = false;
    uint8_t key = 0;
    if (magic == kServerListMagic) {
        current = true;
        key = kKey;
    } else if (magic == kServerListOldMagic) {
        key = kServerListOldKey;
    } else {
        return false;
    }

    // Every record consumes at least 31 bytes, so the loop ends with the data.
    std::vector<CServerSettings> servers;
    while (!r.atEnd()) {
        CServerSettings s;
        readServerSettings(r, s, key, current);
        if (!r.ok()) return false;
        if (s.connection_name.empty()) s.connection_name = s.host;
        servers.push_back(std::move(s));
    }
    out = std::move(servers);
    if (was_current) *was_current = current;
    return true;
}

bool loadServerList(const std::filesystem::path& path, std::vector<CServerSettings>& out, bool* was_current) {
    if (path.empty()) return false;
    std::string bytes;
    if (!readWholeFile(path, bytes)) return false;
    return parseServerList(bytes, out, was_current);
}

bool saveServerList(const std::filesystem::path& path, const std::vector<CServerSettings>& servers) {
    if (path.empty()) return false;
    // Holds passwords: owner-only, and never half-written.
    return writeFileAtomically(path, serializeServerList(servers));
}

}  // namespace keelvault
