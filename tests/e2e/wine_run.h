#ifndef VELMAROK_TESTS_E2E_WINE_RUN_H
#define VELMAROK_TESTS_E2E_WINE_RUN_H

// Runs Windows programs of the win64 build under Wine, in a Wine prefix of the tests' own, and reads and
// sets up that prefix's printers and profile through the fixture program (profile_fixture.cpp).
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

// A file of the win64 build.
std::string WindowsBuild(const std::string& file);

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Starts a program with `input` on its standard input; its output goes to files named after `tag`.
// `environment` entries ("NAME=value") add to or replace the test's own environment.
pid_t StartProgram(const std::vector<std::string>& argv, const std::string& tag, const std::string& input = "",
                   const std::vector<std::string>& environment = {});
// Waits for a started program and collects its exit status and output.
Outcome FinishProgram(pid_t pid, const std::string& tag);
Outcome RunProgram(const std::vector<std::string>& argv, const std::string& input = "",
                   const std::vector<std::string>& environment = {});

// Makes `prefix` the one every later Wine program runs in; MakeFreshPrefix makes it afresh first.
void UsePrefix(const fs::path& prefix);
void MakeFreshPrefix(const fs::path& prefix);
// Stops the current prefix's Wine server.
void StopWineServer();

// Feeds commands, a line each, to the fixture program and returns what it printed.
std::string Fixture(const std::string& commands);

// Whole profile sections, a line "key=value" for each value.
using Sections = std::map<std::string, std::vector<std::string>>;
Sections DumpSections(const std::vector<std::string>& names);

}  // namespace e2e

#endif
