#include "core/engine/gzip_unpack.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cctype>
#include <vector>

#include "core/engine/output_file.h"

namespace keelvault {

namespace {

constexpr unsigned kChunk = 128 * 1024;
constexpr int kMaxUniqueTries = 10000;

bool endsWithSqlIgnoringCase(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".sql";
}

// Creates `path` only when no file of that name exists.
int createNew(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

// Creates the output file, at `path` or, when that name is taken, at
// "<name>.<n>.sql" beside it; `path` becomes the name used. -1 on failure.
int createOutput(std::string& path) {
    int fd = createNew(path);
    if (fd >= 0 || errno != EEXIST) return fd;
    const std::string stem = path.substr(0, path.size() - 4);
    for (int n = 1; n < kMaxUniqueTries; ++n) {
        std::string candidate = stem + "." + std::to_string(n) + ".sql";
        fd = createNew(candidate);
        if (fd >= 0) {
            path = std::move(candidate);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

}  // namespace

int unpackGzipFile(std::string& path) {
    if (path.size() < 4) return kGunzipShortPath;
    std::string output = path.substr(0, path.size() - 3);
    if (output.size() < 5) return kGunzipShortName;
    if (!endsWithSqlIgnoringCase(output)) output += ".sql";

    const int fd = createOutput(output);
    if (fd < 0) return kGunzipCannotCreate;
    auto fail = [&](int code) {
        ::close(fd);
        ::unlink(output.c_str());
        return code;
    };

    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz) return fail(kGunzipCannotOpen);
    gzbuffer(gz, kChunk);
    std::vector<char> chunk(kChunk);
    bool ok = true;
    for (;;) {
        const int n = gzread(gz, chunk.data(), kChunk);
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        if (!writeAll(fd, chunk.data(), static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    // gzclose reports a stream that ended in the middle.
    if (gzclose(gz) != Z_OK) ok = false;
    if (!ok) return fail(kGunzipDamaged);
    if (::close(fd) != 0) {
        ::unlink(output.c_str());
        return kGunzipDamaged;
    }
    path = std::move(output);
    return kGunzipDone;
}

}  // namespace keelvault
