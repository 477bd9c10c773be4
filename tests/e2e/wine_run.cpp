#include "wine_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

extern char** environ;

namespace e2e {

std::string WindowsBuild(const std::string& file)
{
    return (fs::path(VELMAROK_WIN64_DIR) / file).string();
}

namespace {

fs::path& Prefix()
{
    static fs::path prefix;
    return prefix;
}

fs::path Scratch(const std::string& name)
{
    fs::path folder = Prefix().parent_path() / (Prefix().filename().string() + "-io");
    fs::create_directories(folder);
    return folder / name;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

}  // namespace

pid_t StartProgram(const std::vector<std::string>& argv, const std::string& tag, const std::string& input,
                   const std::vector<std::string>& environment)
{
    std::ofstream(Scratch("in-" + tag), std::ios::binary) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, Scratch("in-" + tag).c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, Scratch("out-" + tag).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, Scratch("err-" + tag).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const std::string& entry : environment)
        env.push_back(const_cast<char*>(entry.c_str()));
    for (char** entry = environ; *entry; ++entry) {
        bool replaced = false;
        for (const std::string& added : environment)
            replaced |= std::strncmp(*entry, added.c_str(), added.find('=') + 1) == 0;
        if (!replaced)
            env.push_back(*entry);
    }
    env.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

Outcome FinishProgram(pid_t pid, const std::string& tag)
{
    Outcome outcome;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.out = ReadFile(Scratch("out-" + tag));
    outcome.err = ReadFile(Scratch("err-" + tag));
    return outcome;
}

Outcome RunProgram(const std::vector<std::string>& argv, const std::string& input,
                   const std::vector<std::string>& environment)
{
    return FinishProgram(StartProgram(argv, "run", input, environment), "run");
}

void UsePrefix(const fs::path& prefix)
{
    Prefix() = prefix;
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
}

void MakeFreshPrefix(const fs::path& prefix)
{
    UsePrefix(prefix);
    StopWineServer();
    fs::remove_all(prefix);
    Fixture("");  // Wine makes the prefix at its first start
    // Wine's server otherwise ends with the last program, and a program started just then can fail;
    // one that stays until stopped serves every run.
    RunProgram({"wineserver", "--wait"});
    RunProgram({"wineserver", "--persistent"});
}

void StopWineServer()
{
    RunProgram({"wineserver", "--kill"});
    RunProgram({"wineserver", "--wait"});
}

std::string Fixture(const std::string& commands)
{
    // Wine's own error messages go with the fixture's, for a failure to show.
    const std::vector<std::string> argv = {"wine", WindowsBuild("profile_fixture.exe")};
    Outcome outcome = RunProgram(argv, commands, {"WINEDEBUG=err+all"});
    if (outcome.status != 0 && outcome.err.find("failed (error") == std::string::npos) {
        // Seen rarely under load: status 1, with no command reported failed and no output of its own.
        // That is Wine failing to run the fixture, not a command failing; run it once more.
        std::cerr << "note: Wine did not run the fixture (status " << outcome.status << "): " << outcome.err
                  << "\n";
        outcome = RunProgram(argv, commands, {"WINEDEBUG=err+all"});
    }
    EXPECT_EQ(outcome.status, 0) << "commands:\n"
                                 << commands << "output:\n"
                                 << outcome.out << "errors:\n"
                                 << outcome.err;
    return outcome.out;
}

Sections DumpSections(const std::vector<std::string>& names)
{
    std::string commands;
    for (const std::string& name : names)
        commands += "dump\t" + name + "\n";
    std::istringstream dump(Fixture(commands));
    Sections sections;
    std::string section;
    for (std::string line; std::getline(dump, line);) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']')
            sections[section = line.substr(1, line.size() - 2)];
        else
            sections[section].push_back(line);
    }
    return sections;
}

}  // namespace e2e
