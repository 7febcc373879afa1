#include "core/platform/data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace keelvault {

namespace fs = std::filesystem;

fs::path dataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && xdg[0] == '/') {
        return fs::path(xdg) / "keelvault";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "keelvault";
}

bool ensureDataFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder / "Data", ec);
    if (ec) return false;
    fs::create_directories(folder / "Logs", ec);
    return !ec;
}

bool readWholeFile(const fs::path& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFileAtomically(const fs::path& path, const std::string& bytes, fs::perms perms) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string name = ".";
    name += path.filename().string();
    name += ".XXXXXX";
    std::string tmpl = (folder / name).string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    ::fchmod(fd, static_cast<mode_t>(perms));
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace keelvault
