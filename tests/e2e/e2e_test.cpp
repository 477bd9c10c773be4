// Runs the x86-64 Velmarok.exe under Wine against Wine's own spooler and profile, in a prefix of its own
// under the build folder, and compares whole profile sections before and after.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wine_run.h"

namespace e2e {
namespace {

const fs::path kPrefix = VELMAROK_E2E_PREFIX;
const char kTarget[] = "QV Color Tintwave 7310 PS";
const std::vector<std::string> kSections = {"Devices", "PrinterPorts", "windows"};

class WinePrefix : public ::testing::Environment {
public:
    void SetUp() override { MakeFreshPrefix(kPrefix); }
    void TearDown() override { StopWineServer(); }
};

const auto* const kWinePrefix = ::testing::AddGlobalTestEnvironment(new WinePrefix);

struct Printer {
    std::string name, driver;
};

struct E2ECase {
    std::string what;
    std::vector<Printer> printers;
    std::vector<std::string> profile;              // fixture commands run after the printers are installed
    std::map<std::string, std::string> rewritten;  // section -> the target's value afterwards
    std::vector<std::string> arguments = {};       // given to Velmarok.exe
};

void PrintTo(const E2ECase& c, std::ostream* os)
{
    *os << c.what;
}

const std::vector<Printer> kOthers = {{"Office Laser", "Laser Driver"}, {"Label Writer", "Label Driver"}};
const std::vector<Printer> kWithTarget = {kOthers[0], {kTarget, "QV Old PS"}, kOthers[1]};
const std::map<std::string, std::string> kTargetRewritten = {{"Devices", "QVKM7316,FILE:"},
                                                             {"PrinterPorts", "QVKM7316,FILE:,15,45"}};
// Values the other printers and the "windows" section hold in every case; none of them may change.
const std::vector<std::string> kNeighbours = {
    "set\twindows\tdevice\tOffice Laser,winspool,FILE:",
    "set\twindows\tDoubleClickSpeed\t452",
    "set\tDevices\tOffice Laser\tLaser Driver,FILE:",
    "set\tPrinterPorts\tLabel Writer\tLabel Driver,FILE:,15,45,extra",
};

std::string SetTarget(const std::string& section, const std::string& value)
{
    return "set\t" + section + "\t" + kTarget + "\t" + value;
}

void Arrange(const std::vector<Printer>& printers, const std::vector<std::string>& profile)
{
    std::string commands = "delete-printers\n";
    for (const std::string& section : kSections)
        commands += "clear\t" + section + "\n";
    for (const Printer& printer : printers)
        commands += "printer\t" + printer.name + "\t" + printer.driver + "\n";
    for (const std::string& command : kNeighbours)
        commands += command + "\n";
    for (const std::string& command : profile)
        commands += command + "\n";
    Fixture(commands);
}

// The sections as they were, with the target's values in the sections named replaced.
Sections WithTargetRewritten(Sections sections, const std::map<std::string, std::string>& rewritten)
{
    const std::string key = std::string(kTarget) + "=";
    for (const auto& [section, value] : rewritten) {
        bool found = false;
        for (std::string& line : sections[section])
            if (line.rfind(key, 0) == 0) {
                line = key + value;
                found = true;
            }
        EXPECT_TRUE(found) << "no value for the target in " << section;
    }
    return sections;
}

std::vector<std::string> VelmarokCommand(const std::string& exe, const std::vector<std::string>& arguments = {})
{
    std::vector<std::string> argv = {"wine", exe};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

void ExpectQuietSuccess(const Outcome& run)
{
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

const std::string kVelmarok = WindowsBuild("Velmarok.exe");

class EndToEnd : public ::testing::TestWithParam<E2ECase> {};

TEST_P(EndToEnd, RewritesOnlyTheTargetsDriverField)
{
    const E2ECase& c = GetParam();
    Arrange(c.printers, c.profile);
    const Sections before = DumpSections(kSections);

    ExpectQuietSuccess(RunProgram(VelmarokCommand(kVelmarok, c.arguments)));

    const Sections after = DumpSections(kSections);
    EXPECT_EQ(after, WithTargetRewritten(before, c.rewritten));

    // A second run finds nothing more to change.
    ExpectQuietSuccess(RunProgram(VelmarokCommand(kVelmarok, c.arguments)));
    EXPECT_EQ(DumpSections(kSections), after);
}

std::string CaseName(const ::testing::TestParamInfo<E2ECase>& info)
{
    return info.param.what;
}

const std::vector<std::string> kTargetOldValues = {SetTarget("Devices", "QV Old PS,FILE:"),
                                                   SetTarget("PrinterPorts", "QV Old PS,FILE:,15,45")};
const std::string kLongPort = "\\\\printserver.example\\tintwave-7310-second-floor-east-wing";  // 58 characters
const std::string kManyHundred(400, 'x');

INSTANTIATE_TEST_SUITE_P(
    Profiles, EndToEnd,
    ::testing::Values(
        E2ECase{"target_among_others", kWithTarget, {}, kTargetRewritten},
        E2ECase{"target_values_name_old_driver",
                kWithTarget,
                kTargetOldValues,
                kTargetRewritten},
        E2ECase{"started_with_arguments", kWithTarget, {}, kTargetRewritten, {"/?", "QV Other", "%s%n"}},
        E2ECase{"no_printer_at_all", {}, {}, {}},
        E2ECase{"entries_without_an_installed_printer",
                {},
                kTargetOldValues,
                {}},
        E2ECase{"printers_without_the_target",
                {kOthers[0], {"qv color tintwave 7310 ps", "QV Old PS"}, {"QV Color Tintwave 7310 PS 2", "QV Old PS"}},
                {},
                {}},
        E2ECase{"several_commas",
                kWithTarget,
                {SetTarget("Devices", "QV Old PS,FILE:,a,b"), SetTarget("PrinterPorts", "QV Old PS,FILE:,15,45,,")},
                {{"Devices", "QVKM7316,FILE:,a,b"}, {"PrinterPorts", "QVKM7316,FILE:,15,45,,"}}},
        E2ECase{"leading_comma",
                kWithTarget,
                {SetTarget("Devices", ",FILE:"), SetTarget("PrinterPorts", ",FILE:,15,45")},
                kTargetRewritten},
        E2ECase{"values_longer_than_49",
                kWithTarget,
                {SetTarget("Devices", "QV Old PS," + kLongPort),
                 SetTarget("PrinterPorts", "QV Old PS," + kManyHundred + ",15,45")},
                {{"Devices", "QVKM7316," + kLongPort}, {"PrinterPorts", "QVKM7316," + kManyHundred + ",15,45"}}},
        E2ECase{"only_a_devices_value",
                kWithTarget,
                {"delete\tPrinterPorts\t" + std::string(kTarget)},
                {{"Devices", "QVKM7316,FILE:"}}}),
    CaseName);

// Hostile names and values around the target: printf directives, bytes beyond ASCII, values of every
// length around the buffers the update reads into and builds in.
std::vector<E2ECase> BadInputCases()
{
    std::vector<E2ECase> cases = {
        E2ECase{"printf_directives_in_names",
                {{"%s%n%x Office", "Laser Driver"}, {kTarget, "QV Old PS"}, {"%n%n%n%n", "Label Driver"}},
                {"set\tDevices\t%s%n%x Office\t%s%n,FILE:", "set\tPrinterPorts\t%n%n%n%n\t%n,%s,15,45"},
                kTargetRewritten},
        E2ECase{"bytes_beyond_ascii",
                {{"Impresora Caf\xc3\xa9", "Laser Driver"}, {kTarget, "QV Old PS"}},
                {"set\tDevices\tImpresora Caf\xc3\xa9\tPilote \xc3\xa9t\xc3\xa9,FILE:",
                 SetTarget("PrinterPorts", "Pilote \xc3\xa9t\xc3\xa9,\xc3\xa9,15,45")},
                {{"Devices", "QVKM7316,FILE:"}, {"PrinterPorts", "QVKM7316,\xc3\xa9,15,45"}}},
    };
    for (size_t length : {48, 49, 50, 79, 80, 300}) {
        const std::string devicesTail = "," + std::string(length - 10, 'p');    // behind "QV Old PS"
        const std::string portsTail = "," + std::string(length - 16, 'p') + ",15,45";
        cases.push_back(E2ECase{"values_of_" + std::to_string(length),
                                kWithTarget,
                                {SetTarget("Devices", "QV Old PS" + devicesTail),
                                 SetTarget("PrinterPorts", "QV Old PS" + portsTail)},
                                {{"Devices", "QVKM7316" + devicesTail}, {"PrinterPorts", "QVKM7316" + portsTail}}});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(BadInput, EndToEnd, ::testing::ValuesIn(BadInputCases()), CaseName);

TEST(Concurrency, CopiesStartedAtOnceRewriteTheTargetAndNothingElse)
{
    for (int copies : {2, 4, 8}) {
        Arrange(kWithTarget, kTargetOldValues);
        const Sections before = DumpSections(kSections);

        std::vector<pid_t> started;
        for (int i = 0; i < copies; ++i)
            started.push_back(StartProgram(VelmarokCommand(kVelmarok), "copy" + std::to_string(i)));
        for (int i = 0; i < copies; ++i) {
            SCOPED_TRACE("copy " + std::to_string(i) + " of " + std::to_string(copies));
            ExpectQuietSuccess(FinishProgram(started[i], "copy" + std::to_string(i)));
        }

        EXPECT_EQ(DumpSections(kSections), WithTargetRewritten(before, kTargetRewritten)) << copies << " copies";
    }
}

TEST(DllPlanting, TakesTheSpoolerFromTheSystemDirectoryOnly)
{
    // With this override Wine looks for winspool.drv in the program's folder first, as Windows does.
    // The build that imports WINSPOOL.DRV the usual way shows that the planted one would be taken.
    struct {
        const char* build;
        bool planted;
        bool rewritten;
    } cases[] = {{"Velmarok.exe", false, true}, {"Velmarok-imported.exe", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.build);
        const fs::path folder = kPrefix.parent_path() / "e2e-planting" / c.build;
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::copy_file(WindowsBuild(c.build), folder / "Velmarok.exe");
        fs::copy_file(WindowsBuild("winspool.drv"), folder / "winspool.drv");
        Arrange(kWithTarget, {});
        const Sections before = DumpSections(kSections);

        ExpectQuietSuccess(RunProgram(VelmarokCommand((folder / "Velmarok.exe").string()), "",
                                      {"WINEDLLOVERRIDES=mscoree,mshtml=;winspool.drv=n,b"}));

        EXPECT_EQ(fs::exists(folder / "planted.txt"), c.planted);
        const std::map<std::string, std::string> rewritten = c.rewritten ? kTargetRewritten : decltype(rewritten)();
        EXPECT_EQ(DumpSections(kSections), WithTargetRewritten(before, rewritten));
    }
}

TEST(LongestNames, ChangeNothingButTheTarget)
{
    // Wine's spooler lists printer names of up to 254 characters. It installs printers of 255 and 256
    // too, but then fails to list any printer (and cannot delete them again, hence a prefix of their
    // own): the printer list is not to be had, and nothing may change.
    {
        SCOPED_TRACE("254 characters");
        Arrange({{std::string(254, 'L'), "Long Driver"}, {kTarget, "QV Old PS"}}, {});
        const Sections before = DumpSections(kSections);
        ExpectQuietSuccess(RunProgram(VelmarokCommand(kVelmarok)));
        EXPECT_EQ(DumpSections(kSections), WithTargetRewritten(before, kTargetRewritten));
    }
    {
        SCOPED_TRACE("256 characters");
        MakeFreshPrefix(kPrefix.parent_path() / "e2e-prefix-unlisted");
        Fixture("printer\t" + std::string(256, 'L') + "\tLong Driver\nprinter\t" + kTarget + "\tQV Old PS\n");
        const Sections before = DumpSections(kSections);
        ExpectQuietSuccess(RunProgram(VelmarokCommand(kVelmarok)));
        EXPECT_EQ(DumpSections(kSections), before);
        EXPECT_EQ(before.at("Devices").size(), 2u);
        StopWineServer();
        UsePrefix(kPrefix);
    }
}

}  // namespace
}  // namespace e2e
