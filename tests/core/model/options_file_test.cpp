#include "core/model/options_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;

struct Le {
    std::string b;
    void u8(unsigned v) { b.push_back(static_cast<char>(v & 0xFF)); }
    void u16(unsigned v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8((v >> (8 * i)) & 0xFF);
    }
    void text(const std::string& s) {
        u32(static_cast<uint32_t>(s.size()));
        for (char c : s) u8(static_cast<uint8_t>(c) ^ 0x6B);
    }
};

CSystemOptions fixtureOptions() {
    CSystemOptions o;
    o.login_user = "admin";
    o.login_password = "s3cret";
    o.hot_key_code = 0x0141;
    o.hot_key_modifiers = 3;
    o.time_format = 2;
    o.default_backup_folder = "/srv/backups/";
    o.log_size_limited = 1;
    o.max_log_size_kb = 2048;
    return o;
}

std::string fixtureBytes() {
    Le e;
    e.u32(0xCABDF9E0);
    e.text("admin");
    e.text("s3cret");
    e.u8(0);            // auto run
    e.u16(0x0141);      // hot key code
    e.u16(3);           // modifiers
    e.u8(1);            // date format
    e.u8(2);            // time format
    e.u32(0xFFFFFFFF);  // last tip -1
    e.u8(1);            // show tips
    e.text("/srv/backups/");
    e.u8(0);  // block shutdown
    e.u8(1);  // log size limited
    e.u32(2048);
    e.u8(0);  // do not ask
    return e.b;
}

CSystemOptions sentinel() {
    CSystemOptions o;
    o.login_user = "sentinel";
    return o;
}

TEST(OptionsFile, DefaultsAreCtrlAltMAndTipsShown) {
    const CSystemOptions o;
    EXPECT_EQ(o.hot_key_code, 77);
    EXPECT_EQ(o.hot_key_modifiers, 6);
    EXPECT_EQ(o.date_format, 1);
    EXPECT_EQ(o.time_format, 1);
    EXPECT_EQ(o.last_tip, -1);
    EXPECT_EQ(o.show_tips, 1);
    EXPECT_EQ(o.auto_run, 0);
    EXPECT_EQ(o.max_log_size_kb, 0);
    EXPECT_TRUE(o.login_user.empty() && o.login_password.empty() && o.default_backup_folder.empty());

    TempDir dir;
    CSystemOptions loaded;
    EXPECT_FALSE(loadOptions(dir / "opt_pro.dll", loaded));
    EXPECT_EQ(loaded, CSystemOptions{});
}

TEST(OptionsFile, LayoutMatchesHandBuiltBytes) {
    EXPECT_EQ(serializeOptions(fixtureOptions()), fixtureBytes());
    CSystemOptions parsed;
    ASSERT_TRUE(parseOptions(fixtureBytes(), parsed));
    EXPECT_EQ(parsed, fixtureOptions());
}

TEST(OptionsFile, SaveAndLoadKeepPasswordOnlyScrambled) {
    TempDir dir;
    const fs::path path = dir / "opt_pro.dll";
    ASSERT_TRUE(saveOptions(path, fixtureOptions()));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(path).find("s3cret"), std::string::npos);

    CSystemOptions loaded;
    ASSERT_TRUE(loadOptions(path, loaded));
    EXPECT_EQ(loaded, fixtureOptions());

    // Saving again replaces the file whole.
    ASSERT_TRUE(saveOptions(path, CSystemOptions{}));
    ASSERT_TRUE(loadOptions(path, loaded));
    EXPECT_EQ(loaded, CSystemOptions{});
    EXPECT_FALSE(saveOptions(dir / "missing" / "opt_pro.dll", fixtureOptions()));
}

TEST(OptionsFile, WrongMagicLeavesOptionsUntouched) {
    for (uint32_t magic : {0xDABDFE90u, 0xBFDFAEBAu, 0u}) {
        std::string bytes = fixtureBytes();
        for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>((magic >> (8 * i)) & 0xFF);
        CSystemOptions o = sentinel();
        EXPECT_FALSE(parseOptions(bytes, o));
        EXPECT_EQ(o, sentinel());
    }
}

// Bytes after the known fields are ignored so a file from a later version
// that appends fields still loads.
TEST(OptionsFile, TrailingBytesAreIgnored) {
    CSystemOptions o;
    ASSERT_TRUE(parseOptions(fixtureBytes() + "future", o));
    EXPECT_EQ(o, fixtureOptions());
}

TEST(OptionsCorruption, EveryTruncationFails) {
    const std::string bytes = fixtureBytes();
    for (size_t n = 0; n < bytes.size(); ++n) {
        CSystemOptions o = sentinel();
        ASSERT_FALSE(parseOptions(bytes.substr(0, n), o)) << "cut at " << n;
        EXPECT_EQ(o, sentinel());
    }
}

TEST(OptionsCorruption, AbsurdTextLengthsFail) {
    // Offsets of the three length fields: user, password, backup folder.
    const size_t folder = 4 + 4 + 5 + 4 + 6 + 1 + 2 + 2 + 1 + 1 + 4 + 1;
    for (size_t at : {size_t{4}, size_t{13}, folder}) {
        for (uint32_t v : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x80000000u}) {
            std::string bytes = fixtureBytes();
            for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
            CSystemOptions o = sentinel();
            EXPECT_FALSE(parseOptions(bytes, o)) << at << " " << v;
            EXPECT_EQ(o, sentinel());
        }
    }
}

TEST(OptionsCorruption, RandomByteFlipsNeverCrash) {
    const std::string original = fixtureBytes();
    std::mt19937 rng(77);
    std::uniform_int_distribution<size_t> pos(0, original.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255), flips(1, 4);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = original;
        for (int i = flips(rng); i > 0; --i) bytes[pos(rng)] = static_cast<char>(byte(rng));
        CSystemOptions o = sentinel();
        if (!parseOptions(bytes, o)) {
            EXPECT_EQ(o, sentinel());
        }
    }
}

}  // namespace
}  // namespace keelvault
