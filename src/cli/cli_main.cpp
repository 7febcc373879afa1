#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"

namespace keelvault::cli {

namespace {

void usage(std::ostream& out) {
    out << "usage: keelvault-cli COMMAND [--tasks FILE] [ARGS]\n"
           "\n"
           "commands:\n"
           "  list               one line per task: name, status, last run, next run, type, schedule\n"
           "  show               every stored field of every task, as JSON\n"
           "  run NAME           run the task once, now, printing its log lines\n"
           "  log NAME [--all]   the task's log (last 200 records, or all)\n"
           "  service            run the task list headless until SIGTERM or SIGINT\n"
           "\n"
           "--tasks FILE         the task list file (default: tasks_pro.tsk in the data folder)\n";
}

}  // namespace

int cliMain(int argc, char** argv, const EngineSetup& setup) {
    if (argc < 2) {
        usage(std::cerr);
        return 1;
    }
    const std::string command = argv[1];
    const std::vector<std::string> words(argv + 2, argv + argc);
    if (command == "show") return runShow(words);
    if (command == "list") return runList(words);
    if (command == "log") return runLog(words);
    if (command == "run") return runRun(words, setup);
    if (command == "service") return runService(words, setup);
    if (command == "help" || command == "--help" || command == "-h") {
        usage(std::cout);
        return 0;
    }
    std::cerr << "keelvault-cli: unknown command " << command << "\n";
    usage(std::cerr);
    return 1;
}

}  // namespace keelvault::cli
