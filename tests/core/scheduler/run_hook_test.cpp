#include "core/scheduler/run_hook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "scheduler_fixture.h"

namespace keelvault::test {
namespace {

class RunHookTest : public SchedulerTest {
protected:
    void settings(const std::string& text) { writeFile(dir.path() / kSettingsFileName, text); }

    // Runs a Manual task once through its worker and waits for the worker to end.
    void runOnce(const CTask& task) {
        server.setEnvironment(&env);
        const int index = server.addTask(task);
        server.taskAt(index).run_now = 1;
        server.startTask(index);
        ASSERT_TRUE(waitUntil([&] { return !server.hasWorker(index); }, std::chrono::seconds(30)));
        ran = &server.taskAt(index);
    }

    const CTask* ran = nullptr;
};

TEST_F(RunHookTest, AFailedRunGivesTheCommandWhatHappened) {
    env.registerEngine(kTypeExecuteScript, [](RunContext& ctx) {
        ctx.log(kLogError, "Failed to connect to the MySQL server!  Error NO. 2002  gone");
        ctx.log(kLogError, "a second error");
        return EngineResult::Failed;
    });
    const auto out = dir.path() / "hook.out";
    settings("# what runs after a failed run\nrun_hook = env | grep ^KEELVAULT_ | sort > '" + out.string() +
             "'\nrun_hook_timeout = 20\n");
    runOnce(makeTask("nightly copy", kScheduleManual, kTypeExecuteScript));
    const std::string seen = readFile(out);
    EXPECT_NE(seen.find("KEELVAULT_TASK=nightly copy\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("KEELVAULT_RESULT=failed\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("KEELVAULT_ERRORS=2\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("KEELVAULT_FIRST_ERROR=Failed to connect to the MySQL server!  Error NO. 2002  gone\n"),
              std::string::npos)
        << seen;
    EXPECT_NE(seen.find("KEELVAULT_LOG_FILE=" + logFilePath(env.logsFolder(), ran->log_name).string() + "\n"),
              std::string::npos)
        << seen;
    EXPECT_NE(seen.find("KEELVAULT_SECONDS="), std::string::npos);
    // It succeeded, so the log says nothing of it.
    for (const LogRecord& record : logOf(*ran)) EXPECT_EQ(record.text.find("run hook"), std::string::npos);
}

TEST_F(RunHookTest, OnlyFailuresUnlessAlwaysAndAFailingHookIsAWarningOnly) {
    registerCountingEngine(kTypeExecuteScript);
    const auto out = dir.path() / "hook.out";
    settings("run_hook = echo ran >> '" + out.string() + "'\n");
    runOnce(makeTask("fine", kScheduleManual, kTypeExecuteScript));
    EXPECT_FALSE(std::filesystem::exists(out)) << "a successful run calls the failure hook";

    settings("run_hook = echo ran >> '" + out.string() + "'; exit 3\nrun_hook_when = always\n");
    runOnce(makeTask("always", kScheduleManual, kTypeExecuteScript));
    EXPECT_EQ(readFile(out), "ran\n");
    const std::vector<LogRecord> log = logOf(*ran);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().level, kLogWarning);
    EXPECT_EQ(log.back().text, "The run hook failed with exit status 3: echo ran >> '" + out.string() + "'; exit 3");
    EXPECT_EQ(log[log.size() - 2].text, "Finished");  // the run itself stays a success
}

TEST_F(RunHookTest, AHookThatOverrunsItsLimitIsStoppedWithItsChildren) {
    env.registerEngine(kTypeExecuteScript, [](RunContext& ctx) {
        ctx.log(kLogError, "broken");
        return EngineResult::Failed;
    });
    const auto pid_file = dir.path() / "child.pid";
    settings("run_hook = sleep 30 & echo $! > '" + pid_file.string() + "'; wait\nrun_hook_timeout = 1\n");
    const auto started = std::chrono::steady_clock::now();
    runOnce(makeTask("slow hook", kScheduleManual, kTypeExecuteScript));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    const std::vector<LogRecord> log = logOf(*ran);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().text, "The run hook was stopped after 1 seconds: sleep 30 & echo $! > '" +
                                   pid_file.string() + "'; wait");
    EXPECT_EQ(log.back().level, kLogWarning);
    // The shell's child went with it.
    const int child = std::stoi(readFile(pid_file));
    EXPECT_TRUE(waitUntil([&] { return ::kill(child, 0) != 0; }, std::chrono::seconds(5)));
}

TEST(RunHookSettingsFile, ReadsItsKeysAndIgnoresTheRest) {
    TempDir dir;
    EXPECT_TRUE(loadRunHookSettings(dir.path()).command.empty());
    writeFile(dir / kSettingsFileName,
              "  run_hook =  notify 'x#y'\n"  // a '#' starts a comment anywhere
              "run_hook_when=always\n"
              "run_hook_timeout = -5\n"
              "unknown = 1\n"
              "no equals sign\n");
    const RunHookSettings settings = loadRunHookSettings(dir.path());
    EXPECT_EQ(settings.command, "notify 'x");
    EXPECT_TRUE(settings.always);
    EXPECT_EQ(settings.timeout_seconds, 60);
}

}  // namespace
}  // namespace keelvault::test
