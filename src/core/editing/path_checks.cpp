#include "core/editing/path_checks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace keelvault {

namespace fs = std::filesystem;

bool ensureFolderOneLevel(const std::string& folder) {
    if (folder.empty()) return false;
    std::string path = folder;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    std::error_code ec;
    if (fs::is_directory(path, ec)) return true;
    // create_directory never makes missing parents.
    fs::create_directory(path, ec);
    return !ec && fs::is_directory(path, ec);
}

bool fileReadableOrCreatable(const std::string& path) {
    if (path.empty()) return false;
    // Non-blocking, so a named pipe is refused at once instead of waiting for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        ::close(fd);
        return regular;
    }
    if (errno != ENOENT) return false;
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

std::string withTrailingSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + '/';
}

}  // namespace keelvault
