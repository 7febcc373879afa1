#include "core/engine/gzip_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

std::string gunzip(const std::string& path, bool& ok) {
    ok = false;
    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz) return {};
    std::string out;
    char buffer[4096];
    int n = 0;
    while ((n = gzread(gz, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    ok = n == 0 && gzclose(gz) == Z_OK;
    return out;
}

std::string sampleDump() {
    std::string text;
    std::mt19937 random(7);
    for (int i = 0; i < 5000; ++i) {
        text += "INSERT INTO `t` VALUES (" + std::to_string(i) + ",'name-" + std::to_string(random()) + "');\r\n";
    }
    text += std::string("\0\xff\x80 binary tail", 16);
    return text;
}

std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

TEST(GzipFile, RoundTripAtEachLevelKeepsSource) {
    test::TempDir temp;
    const std::string text = sampleDump();
    size_t size_level1 = 0;
    size_t size_level9 = 0;
    // The gzip header's XFL byte records the level class: 4 fastest, 2 best.
    for (const auto& [level, xfl] : std::vector<std::pair<int, int>>{{1, 4}, {5, 0}, {9, 2}}) {
        const fs::path source = temp / ("dump" + std::to_string(level) + ".sql");
        test::writeFile(source, text);
        std::string path = source.string();
        ASSERT_EQ(compressGzipFile(path, level), kGzipDone);
        EXPECT_EQ(path, source.string() + ".gz");
        EXPECT_EQ(test::readFile(source), text) << "the source is kept";
        const std::string gz = test::readFile(path);
        ASSERT_GT(gz.size(), 10u);
        EXPECT_EQ(static_cast<unsigned char>(gz[8]), xfl) << level;
        bool ok = false;
        EXPECT_EQ(gunzip(path, ok), text);
        EXPECT_TRUE(ok);
        if (level == 1) size_level1 = gz.size();
        if (level == 9) size_level9 = gz.size();
    }
    EXPECT_LT(size_level9, size_level1);
    EXPECT_LT(size_level9, text.size() / 2);
    // Nothing but sources and results: no temporary left behind.
    EXPECT_EQ(entries(temp.path()), (std::set<std::string>{"dump1.sql", "dump1.sql.gz", "dump5.sql", "dump5.sql.gz",
                                                           "dump9.sql", "dump9.sql.gz"}));
}

TEST(GzipFile, EmptyFileAndStaleTarget) {
    test::TempDir temp;
    const fs::path source = temp / "empty.sql";
    test::writeFile(source, "");
    test::writeFile(temp / "empty.sql.gz", "stale bytes from an earlier run");
    std::string path = source.string();
    ASSERT_EQ(compressGzipFile(path, 5), kGzipDone);
    bool ok = false;
    EXPECT_EQ(gunzip(path, ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(test::readFile(path).substr(0, 2), "\x1f\x8b");
}

TEST(GzipFile, RejectedInputs) {
    test::TempDir temp;
    test::writeFile(temp / "a.sql", "x");
    struct Case {
        std::string path;
        int level;
        int expected;
    };
    const std::vector<Case> cases = {
        {"", 5, kGzipEmptyPath},
        {(temp / "a.sql").string(), 0, kGzipBadLevel},
        {(temp / "a.sql").string(), 10, kGzipBadLevel},
        {(temp / "missing.sql").string(), 5, kGzipCannotOpenSource},
        {temp.path().string(), 5, kGzipCannotOpenSource},
        // Readable, but nothing can be created next to it.
        {"/proc/version", 5, kGzipCannotCreate},
    };
    for (const Case& c : cases) {
        std::string path = c.path;
        EXPECT_EQ(compressGzipFile(path, c.level), c.expected) << c.path << " level " << c.level;
        EXPECT_EQ(path, c.path) << "the path changes only on success";
    }
    EXPECT_EQ(entries(temp.path()), std::set<std::string>{"a.sql"});
}

// A file size limit makes writes fail part way, as a full disk does.
TEST(GzipFile, WriteFailureLeavesNoGzip) {
    test::TempDir temp;
    const fs::path source = temp / "big.sql";
    std::string noise(512 * 1024, '\0');
    std::mt19937 random(11);
    for (char& c : noise) c = static_cast<char>(random());
    test::writeFile(source, noise);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string path = source.string();
        const int code = compressGzipFile(path, 1);
        _exit(code == kGzipWriteFailed && path == source.string() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "expected code 105 and an unchanged path";
    EXPECT_EQ(entries(temp.path()), std::set<std::string>{"big.sql"});
}

}  // namespace
}  // namespace keelvault
