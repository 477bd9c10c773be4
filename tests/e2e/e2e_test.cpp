// Runs the x86-64 Velmarok.exe under Wine against Wine's own spooler and profile, in a prefix of its own
// under the build folder, and compares whole profile sections before and after.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path kWindowsBuild = VELMAROK_WIN64_DIR;
const fs::path kPrefix = VELMAROK_E2E_PREFIX;
const char kTarget[] = "QV Color Tintwave 7310 PS";
const char* const kSections[] = {"Devices", "PrinterPorts", "windows"};

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs a program with `input` on its standard input and collects its exit status and output.
Outcome RunProgram(const std::vector<std::string>& argv, const std::string& input = "")
{
    const fs::path scratch = kPrefix.parent_path() / "e2e-io";
    fs::create_directories(scratch);
    std::ofstream(scratch / "in", std::ios::binary) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (scratch / "in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (scratch / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (scratch / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    Outcome outcome;
    pid_t pid;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.out = ReadFile(scratch / "out");
    outcome.err = ReadFile(scratch / "err");
    return outcome;
}

// Feeds commands to the fixture program (see profile_fixture.cpp) and returns what it printed.
std::string Fixture(const std::string& commands)
{
    Outcome outcome = RunProgram({"wine", (kWindowsBuild / "profile_fixture.exe").string()}, commands);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    return outcome.out;
}

using Sections = std::map<std::string, std::vector<std::string>>;

// The "Devices", "PrinterPorts" and "windows" sections, a line "key=value" for each value.
Sections DumpSections()
{
    std::string commands;
    for (const char* section : kSections)
        commands += std::string("dump\t") + section + "\n";
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

class WinePrefix : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("WINEPREFIX", kPrefix.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        RunProgram({"wineserver", "-k"});
        fs::remove_all(kPrefix);
        Fixture("");  // creates the prefix
    }

    void TearDown() override { RunProgram({"wineserver", "-k"}); }
};

const auto* const kWinePrefix = ::testing::AddGlobalTestEnvironment(new WinePrefix);

struct Printer {
    std::string name, driver;
};

struct E2ECase {
    const char* what;
    std::vector<Printer> printers;
    std::vector<std::string> profile;    // fixture commands run after the printers are installed
    std::vector<std::string> arguments;  // given to Velmarok.exe
    std::map<std::string, std::string> rewritten;  // section -> the target's value afterwards
};

void PrintTo(const E2ECase& c, std::ostream* os)
{
    *os << c.what;
}

const std::vector<Printer> kOthers = {{"Office Laser", "Laser Driver"}, {"Label Writer", "Label Driver"}};
const std::vector<Printer> kWithTarget = {kOthers[0], {kTarget, "QV Old PS"}, kOthers[1]};
// Values the other printers and the "windows" section hold in every case; none of them may change.
const std::vector<std::string> kNeighbours = {
    "set\twindows\tdevice\tOffice Laser,winspool,FILE:",
    "set\twindows\tDoubleClickSpeed\t452",
    "set\tDevices\tOffice Laser\tLaser Driver,FILE:",
    "set\tPrinterPorts\tLabel Writer\tLabel Driver,FILE:,15,45,extra",
};

class EndToEnd : public ::testing::TestWithParam<E2ECase> {
protected:
    static Outcome RunVelmarok(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> argv = {"wine", (kWindowsBuild / "Velmarok.exe").string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunProgram(argv);
    }

    static void Arrange(const E2ECase& c)
    {
        std::string commands = "delete-printers\n";
        for (const char* section : kSections)
            commands += std::string("clear\t") + section + "\n";
        for (const Printer& printer : c.printers)
            commands += "printer\t" + printer.name + "\t" + printer.driver + "\n";
        for (const std::string& command : kNeighbours)
            commands += command + "\n";
        for (const std::string& command : c.profile)
            commands += command + "\n";
        Fixture(commands);
    }

    static void ExpectQuietSuccess(const Outcome& run)
    {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
    }
};

TEST_P(EndToEnd, RewritesOnlyTheTargetsDriverField)
{
    const E2ECase& c = GetParam();
    Arrange(c);
    const Sections before = DumpSections();

    ExpectQuietSuccess(RunVelmarok(c.arguments));

    Sections expected = before;
    for (const auto& [section, value] : c.rewritten) {
        const std::string key = std::string(kTarget) + "=";
        bool found = false;
        for (std::string& line : expected[section])
            if (line.rfind(key, 0) == 0) {
                line = key + value;
                found = true;
            }
        ASSERT_TRUE(found) << "no value for the target in " << section;
    }
    const Sections after = DumpSections();
    EXPECT_EQ(after, expected);

    // A second run finds nothing more to change.
    ExpectQuietSuccess(RunVelmarok(c.arguments));
    EXPECT_EQ(DumpSections(), after);
}

const std::string kLongPort = "\\\\printserver.example\\tintwave-7310-second-floor-east-wing";  // 58 characters
const std::string kManyHundred(400, 'x');

INSTANTIATE_TEST_SUITE_P(
    Profiles, EndToEnd,
    ::testing::Values(
        E2ECase{"target_among_others", kWithTarget, {}, {},
                {{"Devices", "QVKM7316,FILE:"}, {"PrinterPorts", "QVKM7316,FILE:,15,45"}}},
        E2ECase{"target_values_name_old_driver",
                kWithTarget,
                {"set\tDevices\tQV Color Tintwave 7310 PS\tQV Old PS,FILE:",
                 "set\tPrinterPorts\tQV Color Tintwave 7310 PS\tQV Old PS,FILE:,15,45"},
                {},
                {{"Devices", "QVKM7316,FILE:"}, {"PrinterPorts", "QVKM7316,FILE:,15,45"}}},
        E2ECase{"started_with_arguments", kWithTarget, {}, {"/?", "QV Other", "%s%n"},
                {{"Devices", "QVKM7316,FILE:"}, {"PrinterPorts", "QVKM7316,FILE:,15,45"}}},
        E2ECase{"no_printer_at_all", {}, {}, {}, {}},
        E2ECase{"entries_without_an_installed_printer",
                {},
                {"set\tDevices\tQV Color Tintwave 7310 PS\tQV Old PS,FILE:",
                 "set\tPrinterPorts\tQV Color Tintwave 7310 PS\tQV Old PS,FILE:,15,45"},
                {},
                {}},
        E2ECase{"printers_without_the_target",
                {kOthers[0], {"qv color tintwave 7310 ps", "QV Old PS"}, {"QV Color Tintwave 7310 PS 2", "QV Old PS"}},
                {},
                {},
                {}},
        E2ECase{"several_commas",
                kWithTarget,
                {"set\tDevices\tQV Color Tintwave 7310 PS\tQV Old PS,FILE:,a,b",
                 "set\tPrinterPorts\tQV Color Tintwave 7310 PS\tQV Old PS,FILE:,15,45,,"},
                {},
                {{"Devices", "QVKM7316,FILE:,a,b"}, {"PrinterPorts", "QVKM7316,FILE:,15,45,,"}}},
        E2ECase{"leading_comma",
                kWithTarget,
                {"set\tDevices\tQV Color Tintwave 7310 PS\t,FILE:",
                 "set\tPrinterPorts\tQV Color Tintwave 7310 PS\t,FILE:,15,45"},
                {},
                {{"Devices", "QVKM7316,FILE:"}, {"PrinterPorts", "QVKM7316,FILE:,15,45"}}},
        E2ECase{"values_longer_than_49",
                kWithTarget,
                {"set\tDevices\tQV Color Tintwave 7310 PS\tQV Old PS," + kLongPort,
                 "set\tPrinterPorts\tQV Color Tintwave 7310 PS\tQV Old PS," + kManyHundred + ",15,45"},
                {},
                {{"Devices", "QVKM7316," + kLongPort}, {"PrinterPorts", "QVKM7316," + kManyHundred + ",15,45"}}},
        E2ECase{"only_a_devices_value",
                kWithTarget,
                {"delete\tPrinterPorts\tQV Color Tintwave 7310 PS"},
                {},
                {{"Devices", "QVKM7316,FILE:"}}}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
