#pragma once

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/host/test_engines.h"

namespace keelvault::test {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the subcommand in-process with the scripted engine, capturing its
// output; `input` is its standard input.
inline Outcome runCli(std::vector<std::string> words, const std::string& input = {}) {
    words.insert(words.begin(), "keelvault-cli");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    std::istringstream in(input);
    auto* old_out = std::cout.rdbuf(out.rdbuf());
    auto* old_err = std::cerr.rdbuf(err.rdbuf());
    auto* old_in = std::cin.rdbuf(in.rdbuf());
    Outcome o;
    o.status = cli::cliMain(static_cast<int>(words.size()), argv.data(), registerTestEngines);
    std::cout.rdbuf(old_out);
    std::cerr.rdbuf(old_err);
    std::cin.rdbuf(old_in);
    o.out = out.str();
    o.err = err.str();
    return o;
}

}  // namespace keelvault::test
