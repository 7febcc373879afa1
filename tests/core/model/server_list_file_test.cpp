#include "core/model/server_list_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;

struct Le {
    std::string b;
    void u8(unsigned v) { b.push_back(static_cast<char>(v & 0xFF)); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8((v >> (8 * i)) & 0xFF);
    }
    void text(const std::string& s, uint8_t key) {
        u32(static_cast<uint32_t>(s.size()));
        for (char c : s) u8(static_cast<uint8_t>(c) ^ key);
    }
};

const CServerSettings kFirst{"prod", "db1.example", 3307, "alice", "pa55", "sales", "main", 1, 0, 1, 0};
const CServerSettings kSecond{"", "10.1.2.3", 3306, "root", "", "", "", 0, 1, 0, 4};

// One record in either layout; the earlier one has no reserved byte.
void record(Le& e, const CServerSettings& s, uint8_t key, bool current) {
    e.text(s.connection_name, key);
    e.text(s.host, key);
    e.u32(static_cast<uint32_t>(s.port));
    e.text(s.user, key);
    e.text(s.password, key);
    e.text(s.database, key);
    e.text(s.comment, key);
    e.u8(s.save_password);
    e.u8(s.use_compression);
    e.u8(s.use_ssl);
    if (current) e.u8(s.reserved2);
}

// The file bytes and the offsets at which a record ends.
struct Fixture {
    std::string bytes;
    std::set<size_t> boundaries;
};

Fixture fixtureFile(bool current) {
    Le e;
    e.u32(current ? 0xCABDF9E0 : 0xBFDFAEBA);
    Fixture f;
    f.boundaries.insert(e.b.size());
    for (const CServerSettings& s : {kFirst, kSecond}) {
        record(e, s, current ? 0x6B : 0x5D, current);
        f.boundaries.insert(e.b.size());
    }
    f.bytes = e.b;
    return f;
}

CServerSettings withHostAsName(CServerSettings s) {
    if (s.connection_name.empty()) s.connection_name = s.host;
    return s;
}

std::vector<CServerSettings> sentinel() {
    CServerSettings s;
    s.connection_name = "sentinel";
    return {s};
}

TEST(ServerListFile, CurrentLayoutMatchesHandBuiltBytes) {
    EXPECT_EQ(serializeServerList({kFirst, kSecond}), fixtureFile(true).bytes);

    std::vector<CServerSettings> out;
    bool current = false;
    ASSERT_TRUE(parseServerList(fixtureFile(true).bytes, out, &current));
    EXPECT_TRUE(current);
    // The nameless server is named after its host.
    EXPECT_EQ(out, (std::vector<CServerSettings>{kFirst, withHostAsName(kSecond)}));
}

TEST(ServerListFile, EarlierLayoutLoadsAndSavesAsCurrent) {
    std::vector<CServerSettings> out;
    bool current = true;
    ASSERT_TRUE(parseServerList(fixtureFile(false).bytes, out, &current));
    EXPECT_FALSE(current);
    CServerSettings second = withHostAsName(kSecond);
    second.reserved2 = 0;  // not in the earlier layout
    ASSERT_EQ(out, (std::vector<CServerSettings>{kFirst, second}));

    TempDir dir;
    ASSERT_TRUE(saveServerList(dir / "myserver.dll", out));
    std::vector<CServerSettings> again;
    ASSERT_TRUE(loadServerList(dir / "myserver.dll", again, &current));
    EXPECT_TRUE(current);
    EXPECT_EQ(again, out);
}

TEST(ServerListFile, SaveAndLoadKeepServersInOrder) {
    TempDir dir;
    const fs::path path = dir / "myserver.dll";
    const std::vector<CServerSettings> servers = {kFirst, withHostAsName(kSecond)};
    ASSERT_TRUE(saveServerList(path, servers));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(path).find("pa55"), std::string::npos);

    std::vector<CServerSettings> out;
    ASSERT_TRUE(loadServerList(path, out));
    EXPECT_EQ(out, servers);

    ASSERT_TRUE(saveServerList(path, {}));
    ASSERT_TRUE(loadServerList(path, out));
    EXPECT_TRUE(out.empty());  // only the magic
    EXPECT_EQ(readFile(path), std::string("\xE0\xF9\xBD\xCA", 4));
}

TEST(ServerListFile, MissingOrForeignFileFails) {
    TempDir dir;
    std::vector<CServerSettings> out = sentinel();
    EXPECT_FALSE(loadServerList(dir / "none.dll", out));
    EXPECT_FALSE(loadServerList("", out));
    EXPECT_FALSE(parseServerList(std::string("\x90\xFE\xBD\xDA", 4), out));
    EXPECT_FALSE(parseServerList("", out));
    EXPECT_EQ(out, sentinel());
    EXPECT_FALSE(saveServerList(dir / "missing" / "myserver.dll", {kFirst}));
}

// Records run to the end of the file, so a cut at a record boundary is a
// shorter valid list; a cut anywhere else fails the whole load.
TEST(ServerListCorruption, TruncationFailsInsideRecords) {
    for (bool current : {true, false}) {
        const Fixture f = fixtureFile(current);
        for (size_t n = 0; n < f.bytes.size(); ++n) {
            std::vector<CServerSettings> out = sentinel();
            const bool ok = parseServerList(f.bytes.substr(0, n), out);
            if (f.boundaries.count(n)) {
                EXPECT_TRUE(ok) << "cut at " << n;
                EXPECT_EQ(out.size(), static_cast<size_t>(std::distance(f.boundaries.begin(), f.boundaries.find(n))));
            } else {
                EXPECT_FALSE(ok) << "cut at " << n << (current ? " (current)" : " (earlier)");
                EXPECT_EQ(out, sentinel());
            }
        }
    }
}

TEST(ServerListCorruption, AbsurdTextLengthsFail) {
    for (size_t at : {size_t{4}, size_t{4 + 4 + 4}}) {  // connection name, host of the first record
        for (uint32_t v : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x80000000u}) {
            std::string bytes = fixtureFile(true).bytes;
            for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
            std::vector<CServerSettings> out = sentinel();
            EXPECT_FALSE(parseServerList(bytes, out));
            EXPECT_EQ(out, sentinel());
        }
    }
}

TEST(ServerListCorruption, RandomByteFlipsNeverCrash) {
    for (bool current : {true, false}) {
        const std::string original = fixtureFile(current).bytes;
        std::mt19937 rng(current ? 11 : 12);
        std::uniform_int_distribution<size_t> pos(0, original.size() - 1);
        std::uniform_int_distribution<int> byte(0, 255), flips(1, 4);
        for (int round = 0; round < 2000; ++round) {
            std::string bytes = original;
            for (int i = flips(rng); i > 0; --i) bytes[pos(rng)] = static_cast<char>(byte(rng));
            std::vector<CServerSettings> out = sentinel();
            if (!parseServerList(bytes, out)) {
                EXPECT_EQ(out, sentinel());
            }
        }
    }
}

}  // namespace
}  // namespace keelvault
