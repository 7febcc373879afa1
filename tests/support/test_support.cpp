#include "support/test_support.h"

#include <mysql.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace keelvault::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "keelvault-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

ScopedDataHome::ScopedDataHome() {
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        had_old_ = true;
        old_ = old;
    }
    ::setenv("XDG_DATA_HOME", dir_.path().c_str(), 1);
}

ScopedDataHome::~ScopedDataHome() {
    if (had_old_) {
        ::setenv("XDG_DATA_HOME", old_.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

fs::path ScopedDataHome::dataFolder() const { return dir_.path() / "keelvault"; }

TestServers testServers() {
    TestServers s;
    if (const char* h = std::getenv("KEELVAULT_TEST_DB_HOST"); h && *h) s.host = h;
    if (const char* u = std::getenv("KEELVAULT_TEST_DB_USER"); u && *u) s.user = u;
    const char* p1 = std::getenv("KEELVAULT_TEST_DB_PORT1");
    const char* p2 = std::getenv("KEELVAULT_TEST_DB_PORT2");
    if (p1 && *p1) s.port1 = std::atoi(p1);
    if (p2 && *p2) s.port2 = std::atoi(p2);
    s.configured = s.port1 > 0 && s.port2 > 0;
    return s;
}

CServerSettings testServerSettings(int which) {
    const TestServers s = testServers();
    CServerSettings settings;
    settings.connection_name = which == 1 ? "test-source" : "test-destination";
    settings.host = s.host;
    settings.port = which == 1 ? s.port1 : s.port2;
    settings.user = s.user;
    return settings;
}

bool serverReachable(int which) {
    const TestServers s = testServers();
    if (!s.configured) return false;
    MYSQL* m = mysql_init(nullptr);
    if (!m) return false;
    unsigned int timeout = 5;
    mysql_options(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    const bool ok = mysql_real_connect(m, s.host.c_str(), s.user.c_str(), "", nullptr,
                                       static_cast<unsigned>(which == 1 ? s.port1 : s.port2), nullptr, 0) != nullptr;
    mysql_close(m);
    return ok;
}

bool serversRequired() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace keelvault::test
