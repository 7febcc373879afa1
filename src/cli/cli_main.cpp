#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"

namespace keelvault::cli {

namespace {

void usage(std::ostream& out) {
    out << "usage: keelvault-cli COMMAND [--tasks FILE] [ARGS]\n"
           "\n"
           "tasks:\n"
           "  list                   one line per task: name, status, last run, next run, type, schedule\n"
           "  show                   every stored field of every task, as JSON\n"
           "  export NAME            one task as JSON, in the layout of show\n"
           "  add FILE|- [--run]     create a task from one JSON task object (fields left out take\n"
           "                         the defaults of the task type); --run runs it once at once\n"
           "  edit NAME FILE|-       change a stopped task: the fields of the JSON object replace its own\n"
           "  delete NAME            stop and delete the task and its log\n"
           "  copy NAME              a stopped copy named NAME_Copy with its own log\n"
           "  rename NAME NEW        give the task another name\n"
           "  start NAME             start a stopped scheduled task\n"
           "  stop NAME              stop a waiting or running task\n"
           "  run NAME               run the task once, now, printing its log lines; exit status\n"
           "                         0 finished without an error line, 2 errors were logged,\n"
           "                         3 cancelled (SIGINT or SIGTERM), 1 could not start\n"
           "  log NAME [--all]       the task's log (last 200 records, or all)\n"
           "  service                run the task list headless until SIGTERM or SIGINT\n"
           "  verify NAME [--record N] --into CONNECTION\n"
           "                         restore a backup (default the newest; N counts from the oldest)\n"
           "                         into scratch databases on a saved server and compare every table\n"
           "                         with what the backup wrote; exit status 0 all equal, 2 a table\n"
           "                         differs, 3 cancelled, 1 could not verify\n"
           "  verify NAME --list     the task's backups and whether each can be verified\n"
           "\n"
           "saved servers:\n"
           "  servers [--show-passwords]  one line per server: name, host, port, user, password, comment\n"
           "  servers add FILE|-          save a server from a JSON object in the layout of a task's \"source\"\n"
           "  servers delete NAME         remove a saved server\n"
           "  servers test NAME           connect and print the server version\n"
           "\n"
           "--tasks FILE             the task list file (default: tasks_pro.tsk in the data folder)\n"
           "\n"
           "Commands that change the task list refuse while the Keelvault service runs it.\n"
           "Other errors exit with status 1.\n";
}

}  // namespace

int cliMain(int argc, char** argv, const EngineSetup& setup) {
    if (argc < 2) {
        usage(std::cerr);
        return 1;
    }
    const std::string first = argv[1];
    if (first == "help" || first == "--help" || first == "-h") {
        usage(std::cout);
        return 0;
    }

    CLI::App app("keelvault-cli");
    app.set_help_flag();
    app.require_subcommand(1);
    std::string tasks;
    const auto tasksOption = [&tasks](CLI::App* command) {
        command->add_option("--tasks", tasks, "the task list file")->type_name("FILE");
    };
    std::string name, input, new_name;
    bool all = false, run = false, show_passwords = false;
    int status = 0;

    const auto command = [&](const char* word, auto body) {
        CLI::App* sub = app.add_subcommand(word);
        sub->set_help_flag();
        tasksOption(sub);
        sub->callback([&status, body] { status = body(); });
        return sub;
    };
    const auto paths = [&tasks] { return makePaths(tasks); };

    command("list", [&] { return runList(paths()); });
    command("show", [&] { return runShow(paths()); });
    command("service", [&] { return runService(paths(), setup); });
    command("export", [&] { return runExport(paths(), name); })->add_option("NAME", name)->required();
    command("delete", [&] { return runDelete(paths(), name); })->add_option("NAME", name)->required();
    command("copy", [&] { return runCopy(paths(), name); })->add_option("NAME", name)->required();
    command("start", [&] { return runStart(paths(), name); })->add_option("NAME", name)->required();
    command("stop", [&] { return runStop(paths(), name); })->add_option("NAME", name)->required();
    command("run", [&] { return runRun(paths(), name, setup); })->add_option("NAME", name)->required();
    CLI::App* log = command("log", [&] { return runLog(paths(), name, all); });
    log->add_option("NAME", name)->required();
    log->add_flag("--all", all);
    CLI::App* add = command("add", [&] { return runAdd(paths(), input, run, setup); });
    add->add_option("FILE", input)->required();
    add->add_flag("--run", run);
    CLI::App* edit = command("edit", [&] { return runEdit(paths(), name, input); });
    edit->add_option("NAME", name)->required();
    edit->add_option("FILE", input)->required();
    CLI::App* rename = command("rename", [&] { return runRename(paths(), name, new_name); });
    rename->add_option("NAME", name)->required();
    rename->add_option("NEW", new_name)->required();

    int record = 0;
    std::string into;
    bool list_records = false;
    CLI::App* verify = command("verify", [&] { return runVerify(paths(), name, record, into, list_records); });
    verify->add_option("NAME", name)->required();
    verify->add_option("--record", record)->type_name("N");
    verify->add_option("--into", into)->type_name("CONNECTION");
    verify->add_flag("--list", list_records);

    CLI::App* servers = command("servers", [&] { return runServers(paths(), show_passwords); });
    servers->require_subcommand(0, 1);
    servers->add_flag("--show-passwords", show_passwords);
    const auto serverCommand = [&](const char* word, auto body) {
        CLI::App* sub = servers->add_subcommand(word);
        sub->set_help_flag();
        sub->callback([&status, body] { status = body(); });
        return sub;
    };
    serverCommand("add", [&] { return runServersAdd(paths(), input); })->add_option("FILE", input)->required();
    serverCommand("delete", [&] { return runServersDelete(paths(), name); })->add_option("NAME", name)->required();
    serverCommand("test", [&] { return runServersTest(paths(), name); })->add_option("NAME", name)->required();
    // "servers add" must not also list the servers.
    servers->callback([&] {
        if (servers->get_subcommands().empty()) status = runServers(paths(), show_passwords);
    });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ExtrasError& e) {
        if (app.get_subcommands().empty()) {
            std::cerr << "keelvault-cli: unknown command " << first << "\n";
            usage(std::cerr);
        } else {
            std::cerr << "keelvault-cli " << first << ": unknown option or argument (" << e.what() << ")\n";
        }
        return 1;
    } catch (const CLI::RequiredError& e) {
        if (app.get_subcommands().empty()) {
            std::cerr << "keelvault-cli: unknown command " << first << "\n";
            usage(std::cerr);
            return 1;
        }
        std::cerr << "keelvault-cli " << first << ": " << e.what() << "\n";
        return 1;
    } catch (const CLI::ParseError& e) {
        std::cerr << "keelvault-cli " << first << ": " << e.what() << "\n";
        return 1;
    }
    return status;
}

}  // namespace keelvault::cli
