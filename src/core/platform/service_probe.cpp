#include "core/platform/service_probe.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace keelvault {

namespace {

// Runs systemctl with the given arguments and returns what it printed on
// stdout; empty when it cannot run.
std::string systemctlOutput(const std::vector<std::string>& args) {
    int pipefd[2];
    if (::pipe(pipefd) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipefd[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<std::string> full = {"systemctl"};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : full) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, "systemctl", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipefd[1]);
    std::string out;
    if (rc == 0) {
        char buf[256];
        ssize_t n;
        while ((n = ::read(pipefd[0], buf, sizeof buf)) != 0) {
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (out.size() < 4096) out.append(buf, static_cast<size_t>(n));
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out.clear();
    }
    ::close(pipefd[0]);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
    return out;
}

bool unitRunning(bool user_scope) {
    std::vector<std::string> args;
    if (user_scope) args.push_back("--user");
    args.insert(args.end(), {"show", "--property=ActiveState", "--value", kServiceUnitName});
    return isRunningUnitState(systemctlOutput(args));
}

}  // namespace

bool isRunningUnitState(const std::string& active_state) {
    return active_state == "activating" || active_state == "active" || active_state == "reloading";
}

bool serviceLockHeld(const std::filesystem::path& data_folder) {
    const std::filesystem::path path = data_folder / kServiceLockFileName;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = false;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        held = errno == EWOULDBLOCK;
    } else {
        ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    return held;
}

bool probeServiceRunning(const std::filesystem::path& data_folder) {
    if (serviceLockHeld(data_folder)) return true;
    return unitRunning(true) || unitRunning(false);
}

ServiceLock::~ServiceLock() { release(); }

bool ServiceLock::acquire(const std::filesystem::path& data_folder) {
    release();
    const std::filesystem::path path = data_folder / kServiceLockFileName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void ServiceLock::release() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace keelvault
