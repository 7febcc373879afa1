// keelvault-cli: runs and inspects the task list without the desktop.
#include "cli/cli_common.h"
#include "core/engine/engines.h"

int main(int argc, char** argv) { return keelvault::cli::cliMain(argc, argv, keelvault::registerBuiltinEngines); }
