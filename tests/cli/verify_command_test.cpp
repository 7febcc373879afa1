// keelvault-cli verify: a backup restored into scratch databases on a saved
// server and compared table by table; the exit status says how it went.

#include <gtest/gtest.h>

#include <string>

#include "cli/cli_harness.h"
#include "core/engine/backup_test_harness.h"
#include "core/model/server_list_file.h"
#include "core/model/task_list_file.h"
#include "core/platform/data_folder.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

using test::runCli;

TEST(CliVerify, EqualThenDifferentWithItsExitStatus) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    test::ScopedDataHome home;
    ASSERT_TRUE(backup_test::runSql(1, {"DROP DATABASE IF EXISTS kv_vf_cli", "CREATE DATABASE kv_vf_cli",
                                        "USE kv_vf_cli", "CREATE TABLE t (id INT PRIMARY KEY, v TEXT)",
                                        "INSERT INTO t VALUES (1,'a\\nb'),(2,NULL),(3,'')"}));
    backup_test::BackupHarness backup;
    backup.task.databases = {backup_test::wholeDatabase("kv_vf_cli")};
    backup.task.backup_options.gzip = 1;
    ASSERT_EQ(backup.run(), EngineResult::Finished);
    ASSERT_EQ(backup.files().size(), 1u);

    ASSERT_TRUE(ensureDataFolders(home.dataFolder()));
    CTaskList list;
    list.append(backup.task);
    ASSERT_TRUE(saveTaskList(tasksFilePath(home.dataFolder()), list));
    CServerSettings scratch = test::testServerSettings(2);
    scratch.connection_name = "scratch";
    ASSERT_TRUE(saveServerList(serverListFilePath(home.dataFolder()), {scratch}));

    test::Outcome o = runCli({"verify", "nightly", "--list"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "1\t2006-05-01 09:05:07\t1 file\tverifiable\n");

    o = runCli({"verify", "nightly", "--into", "scratch"});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_NE(o.out.find("kv_vf_cli.t: equal"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Verified 1 table: 1 equal, 0 different"), std::string::npos) << o.out;

    // The same backup with one value changed inside the gzip file.
    const std::string file = backup.files().front();
    ASSERT_EQ(backup_test::shell("gzip -dc '" + file + "' | sed \"s/(3,'')/(3,'x')/\" | gzip > '" + file + ".new' && mv '" +
                                 file + ".new' '" + file + "'"),
              0);
    o = runCli({"verify", "nightly", "--record", "1", "--into", "scratch"});
    EXPECT_EQ(o.status, 2) << o.out << o.err;
    EXPECT_NE(o.err.find("kv_vf_cli.t: different: values"), std::string::npos) << o.err;

    struct Refusal {
        std::vector<std::string> words;
        const char* message;
    };
    for (const Refusal& r : {Refusal{{"verify", "nightly", "--into", "nowhere"}, "no server named nowhere"},
                             Refusal{{"verify", "nightly", "--record", "2", "--into", "scratch"},
                                     "--record must be between 1 and 1"},
                             Refusal{{"verify", "nightly"}, "--into CONNECTION is required"},
                             Refusal{{"verify", "nobody", "--into", "scratch"}, "no task named nobody"}}) {
        o = runCli(r.words);
        EXPECT_EQ(o.status, 1) << r.message;
        EXPECT_NE(o.err.find(r.message), std::string::npos) << o.err;
    }
}

}  // namespace
}  // namespace keelvault
