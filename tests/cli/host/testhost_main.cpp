// keelvault-cli with the scripted test engine in place of the built-in ones.
#include "cli/cli_common.h"
#include "cli/host/test_engines.h"

int main(int argc, char** argv) { return keelvault::cli::cliMain(argc, argv, keelvault::test::registerTestEngines); }
