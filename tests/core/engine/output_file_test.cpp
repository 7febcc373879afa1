#include "core/engine/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/engine/gzip_file.h"
#include "core/engine/gzip_unpack.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

TEST(OutputFile, WritesEveryByteAndReportsFailedWrites) {
    test::TempDir temp;
    OutputFile file;
    EXPECT_FALSE(file.create(""));
    EXPECT_FALSE(file.create((temp / "missing" / "x.csv").string()));

    // Many blocks' worth, in pieces and in one large piece.
    const std::string path = (temp / "out.csv").string();
    test::writeFile(path, "old contents that must go");
    ASSERT_TRUE(file.create(path));
    std::string expected;
    for (int i = 0; i < 200000; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        ASSERT_TRUE(file.append(line));
        expected += line;
    }
    const std::string big(3 * 1024 * 1024 + 17, 'z');
    ASSERT_TRUE(file.append(big));
    expected += big;
    ASSERT_TRUE(file.append('!'));
    expected += '!';
    EXPECT_EQ(file.size(), expected.size());
    EXPECT_TRUE(file.close());
    EXPECT_TRUE(test::readFile(path) == expected);

    // A full device: the failure shows at the latest on the flush, and every
    // later write fails as well.
    ASSERT_TRUE(file.create("/dev/full"));
    EXPECT_TRUE(file.append("small"));
    EXPECT_FALSE(file.flush());
    EXPECT_TRUE(file.failed());
    EXPECT_FALSE(file.append("more"));
    EXPECT_FALSE(file.close());
}

// Several megabytes, so a file spans many of the writer's blocks.
std::string sampleDump() {
    std::string text;
    std::mt19937 random(7);
    for (int i = 0; i < 60000; ++i) {
        text += "INSERT INTO `t` VALUES (" + std::to_string(i) + ",'name-" + std::to_string(random()) + "');\r\n";
    }
    text += std::string("\0\xff\x80 binary tail", 16);
    return text;
}

// Writes `text` through an OutputFile at `level`, in pieces of varying size.
bool writeCompressed(const fs::path& path, const std::string& text, int level) {
    OutputFile out;
    out.open(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), level);
    std::mt19937 random(3);
    size_t at = 0;
    while (at < text.size()) {
        const size_t piece = std::min<size_t>(text.size() - at, 1 + random() % 70000);
        if (!out.append(std::string_view(text).substr(at, piece))) return false;
        at += piece;
    }
    return out.sync() && out.close();
}

std::string systemGunzip(const fs::path& path) {
    std::string out;
    FILE* pipe = ::popen(("gzip -dc '" + path.string() + "'").c_str(), "r");
    if (!pipe) return "(no gzip)";
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    return ::pclose(pipe) == 0 ? out : "(gzip failed)";
}

TEST(GzipOutput, CompressedWhileWrittenReadsBackIdentically) {
    test::TempDir temp;
    const std::string text = sampleDump();
    size_t size_level1 = 0;
    size_t size_level9 = 0;
    // The gzip header's XFL byte records the level class: 4 fastest, 2 best.
    for (const auto& [level, xfl] : std::vector<std::pair<int, int>>{{1, 4}, {5, 0}, {9, 2}}) {
        const fs::path path = temp / ("dump" + std::to_string(level) + ".sql.gz");
        ASSERT_TRUE(writeCompressed(path, text, level)) << level;
        const std::string gz = test::readFile(path);
        ASSERT_GT(gz.size(), 10u);
        EXPECT_EQ(gz.substr(0, 2), "\x1f\x8b");
        EXPECT_EQ(static_cast<unsigned char>(gz[8]), xfl) << level;
        EXPECT_TRUE(systemGunzip(path) == text) << "gzip -d reads level " << level;
        std::string unpacked = path.string();
        ASSERT_EQ(unpackGzipFile(unpacked), kGunzipDone);
        EXPECT_TRUE(test::readFile(unpacked) == text) << "the restore's unpacker reads level " << level;
        if (level == 1) size_level1 = gz.size();
        if (level == 9) size_level9 = gz.size();
    }
    EXPECT_LT(size_level9, size_level1);
    EXPECT_LT(size_level9, text.size() / 2);
}

// The share of the file at `path` that sits in the system's cache, 0..1;
// -1 where that cannot be told.
double cachedShare(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const size_t size = fs::file_size(path);
    void* map = size > 0 ? ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
    ::close(fd);
    if (map == MAP_FAILED) return -1;
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> resident((size + page - 1) / page);
    const bool ok = ::mincore(map, size, resident.data()) == 0;
    ::munmap(map, size);
    if (!ok) return -1;
    size_t in = 0;
    for (unsigned char r : resident) in += r & 1;
    return static_cast<double>(in) / static_cast<double>(resident.size());
}

// Written behind with a small lag, so the waits for the disk, the syncs and
// the cache being dropped all happen many times in a small file: what
// lands is exactly what was given, wherever flushes cut it, and once it is
// synced the file no longer fills the system's cache.
TEST(OutputFile, WrittenBehindKeepsEveryByteAndLeavesTheCache) {
    test::TempDir temp;
    const std::string text = sampleDump();
    struct statfs where{};
    const bool memory_only = ::statfs(temp.path().c_str(), &where) == 0 && where.f_type == TMPFS_MAGIC;
    for (const int level : {0, 5}) {
        SCOPED_TRACE(level == 0 ? "plain" : "gzip");
        const fs::path path = temp / (level == 0 ? "behind.sql" : "behind.sql.gz");
        OutputFile out;
        out.open(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), level);
        if (!out.writeBehind(64 * 1024)) GTEST_SKIP() << "the file system here cannot write behind";
        std::mt19937 random(5);
        size_t at = 0;
        while (at < text.size()) {
            const size_t piece = std::min<size_t>(text.size() - at, 1 + random() % 300000);
            ASSERT_TRUE(out.append(std::string_view(text).substr(at, piece)));
            at += piece;
            if (random() % 3 == 0) {
                ASSERT_TRUE(out.flush());
            }
        }
        ASSERT_TRUE(out.sync());
        ASSERT_TRUE(out.close());
        if (!memory_only) {
            const double share = cachedShare(path);
            EXPECT_GE(share, 0.0);
            EXPECT_LT(share, 0.25);
        }
        if (level == 0) {
            EXPECT_EQ(fs::file_size(path), text.size());
            EXPECT_TRUE(test::readFile(path) == text);
        } else {
            EXPECT_TRUE(systemGunzip(path) == text);
        }
    }
    // A pipe cannot be written behind; it is written as usual.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    OutputFile out;
    out.open(ends[1]);
    EXPECT_FALSE(out.writeBehind());
    ASSERT_TRUE(out.append("through a pipe"));
    ASSERT_TRUE(out.close());
    char got[32] = {};
    EXPECT_EQ(::read(ends[0], got, sizeof got), 14);
    EXPECT_STREQ(got, "through a pipe");
    ::close(ends[0]);
}

TEST(GzipOutput, EmptyStreamAndBadLevels) {
    test::TempDir temp;
    const fs::path empty = temp / "empty.sql.gz";
    ASSERT_TRUE(writeCompressed(empty, "", 5));
    EXPECT_EQ(test::readFile(empty).substr(0, 2), "\x1f\x8b");
    EXPECT_EQ(systemGunzip(empty), "");

    for (int level : {-1, 10}) {
        GzipDeflater deflater;
        EXPECT_FALSE(deflater.begin(level)) << level;
        OutputFile out;
        out.open(::open((temp / "bad.gz").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), level);
        EXPECT_TRUE(out.failed()) << level;
        EXPECT_FALSE(out.append("x"));
        EXPECT_FALSE(out.close());
    }
}

// A file size limit makes writes fail part way, as a full disk does; the
// failure must show however far the compressor lags behind.
TEST(GzipOutput, WriteFailureIsReported) {
    test::TempDir temp;
    std::string noise(4 * 1024 * 1024, '\0');
    std::mt19937 random(11);
    for (char& c : noise) c = static_cast<char>(random());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(writeCompressed(temp / "big.sql.gz", noise, 1) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a cut-short gzip file was reported as written";
}

}  // namespace
}  // namespace keelvault
