#include "core/scheduler/run_hook.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

extern char** environ;

namespace keelvault {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Stops the command's whole process group: a shell's children go with it.
void stopGroup(pid_t pid) {
    ::kill(-pid, SIGTERM);
    for (int i = 0; i < 20; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace

RunHookSettings loadRunHookSettings(const std::filesystem::path& data_folder) {
    RunHookSettings settings;
    std::ifstream in(data_folder / kSettingsFileName);
    std::string line;
    while (std::getline(in, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = trimmed(line.substr(0, equals));
        const std::string value = trimmed(line.substr(equals + 1));
        if (key == "run_hook") {
            settings.command = value;
        } else if (key == "run_hook_when") {
            settings.always = value == "always";
        } else if (key == "run_hook_timeout") {
            const int seconds = std::atoi(value.c_str());
            if (seconds > 0) settings.timeout_seconds = seconds;
        }
    }
    return settings;
}

const char* runResultName(const RunOutcome& outcome) {
    if (outcome.result == EngineResult::Canceled) return "canceled";
    if (outcome.result == EngineResult::Failed || outcome.error_lines > 0) return "failed";
    return "success";
}

std::optional<std::string> runRunHook(const RunHookSettings& settings, const RunHookFacts& facts) {
    if (settings.command.empty()) return std::nullopt;
    if (!settings.always && facts.result != "failed") return std::nullopt;

    std::vector<std::string> variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (std::strncmp(*entry, "KEELVAULT_", 10) != 0) variables.emplace_back(*entry);
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", facts.seconds);
    variables.push_back("KEELVAULT_TASK=" + facts.task_name);
    variables.push_back("KEELVAULT_RESULT=" + facts.result);
    variables.push_back("KEELVAULT_ERRORS=" + std::to_string(facts.errors));
    variables.push_back("KEELVAULT_FIRST_ERROR=" + facts.first_error);
    variables.push_back("KEELVAULT_LOG_FILE=" + facts.log_file.string());
    variables.push_back(std::string("KEELVAULT_SECONDS=") + seconds);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    std::string command = settings.command;
    char shell[] = "/bin/sh";
    char dash_c[] = "-c";
    char* argv[] = {shell, dash_c, command.data(), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so that the time limit stops everything it started.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, shell, nullptr, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return "The run hook could not be started: " + std::string(std::strerror(spawned));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(settings.timeout_seconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return "The run hook could not be waited for: " + std::string(std::strerror(errno));
        if (std::chrono::steady_clock::now() >= deadline) {
            stopGroup(pid);
            return "The run hook was stopped after " + std::to_string(settings.timeout_seconds) + " seconds: " +
                   settings.command;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
    if (WIFEXITED(status)) {
        return "The run hook failed with exit status " + std::to_string(WEXITSTATUS(status)) + ": " + settings.command;
    }
    return "The run hook was ended by signal " + std::to_string(WTERMSIG(status)) + ": " + settings.command;
}

}  // namespace keelvault
