#include "update_win_ini.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "recording_trace_line.h"

namespace {

using Lines = std::vector<std::string>;
using Profile = decltype(FakePlatform::profile);

const char kTarget[] = "QV Color Tintwave 7310 PS";
const char kDriver[] = "QVKM7316";
const std::string kTargetLine = "UpdateWinIni(QV Color Tintwave 7310 PS,QVKM7316)\n";

class UpdateWinIniTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fake() = FakePlatform();
        TracedLines().clear();
    }

    void TearDown() override { EXPECT_TRUE(Fake().blocks.empty()) << "a heap block was not released"; }

    // Installs printers named `names`, each with a "PrinterPorts" and a "Devices" value.
    static void InstallWithValues(const std::vector<Text>& names)
    {
        for (const Text& name : names) {
            Fake().printers.push_back(NamedPrinter(name));
            if (name)
                SetOldValues(*name);
        }
    }

    static void SetOldValues(const std::string& name)
    {
        Fake().profile[{"PrinterPorts", name}] = "Old Driver,FILE:,15,45";
        Fake().profile[{"Devices", name}] = "Old Driver,FILE:";
    }

    static Lines CallsNamed(const std::string& prefix)
    {
        Lines found;
        for (const std::string& call : Fake().calls)
            if (call.rfind(prefix, 0) == 0)
                found.push_back(call);
        return found;
    }

    static std::string& Stored(const std::string& section, const std::string& key)
    {
        return Fake().profile[{section, key}];
    }

    static Lines EntryLines()
    {
        Lines found;
        for (const std::string& line : TracedLines())
            if (line.rfind("UpdateWinIni(", 0) == 0)
                found.push_back(line);
        return found;
    }
};

TEST_F(UpdateWinIniTest, TracesEveryRecordFieldAndTheMatchInOrder)
{
    FakePrinter full;
    full.server = "\\\\host";
    full.name = kTarget;
    full.share = "tintwave";
    full.port = "LPT1:";
    full.driver = "QV Old PS";
    full.comment = "second floor";
    full.location = "room 12";
    full.sepFile = "sep.txt";
    full.printProcessor = "WinPrint";
    full.datatype = "RAW";
    full.parameters = "-x";
    Fake().printers = {NamedPrinter("Office Laser"), full};
    Fake().profile = {{{"PrinterPorts", kTarget}, "QV Old PS,LPT1:,15,45"}, {{"Devices", kTarget}, "QV Old PS,LPT1:"}};

    EXPECT_EQ(UpdateWinIni(kTarget, kDriver), 1);

    Lines expected = {
        kTargetLine,
        "Iterating:\n",
        "  pPrinterInfo[0]:\n",
        "    .pServerName = '(null)'\n",
        "    .pPrinterName = 'Office Laser'\n",
        "    .pShareName = '(null)'\n",
        "    .pPortName = 'FILE:'\n",
        "    .pDriverName = 'Old Driver'\n",
        "    .pComment = '(null)'\n",
        "    .pLocation = '(null)'\n",
        "    .pSepFile = '(null)'\n",
        "    .pPrintProcessor = 'WinPrint'\n",
        "    .pDatatype = 'RAW'\n",
        "    .pParameters = '(null)'\n",
        "  pPrinterInfo[1]:\n",
        "    .pServerName = '\\\\host'\n",
        "    .pPrinterName = 'QV Color Tintwave 7310 PS'\n",
        "    .pShareName = 'tintwave'\n",
        "    .pPortName = 'LPT1:'\n",
        "    .pDriverName = 'QV Old PS'\n",
        "    .pComment = 'second floor'\n",
        "    .pLocation = 'room 12'\n",
        "    .pSepFile = 'sep.txt'\n",
        "    .pPrintProcessor = 'WinPrint'\n",
        "    .pDatatype = 'RAW'\n",
        "    .pParameters = '-x'\n",
        "    -> match:\n",
        "         GetProfileString(PrinterPorts,QV Color Tintwave 7310 PS) -> 'QV Old PS,LPT1:,15,45'\n",
        "         GetProfileString(Devices,QV Color Tintwave 7310 PS) -> 'QV Old PS,LPT1:'\n",
    };
    EXPECT_EQ(TracedLines(), expected);
}

TEST_F(UpdateWinIniTest, MakesThePlatformCallsInOrder)
{
    InstallWithValues({kTarget});
    const std::string needed = std::to_string(Fake().BytesNeeded());

    EXPECT_EQ(UpdateWinIni(kTarget, kDriver), 1);

    Lines expected = {
        "EnumPrintersA(2,null,2,null,0)",
        "GetLastError() -> 122",
        "LocalAlloc(64," + needed + ")",
        "EnumPrintersA(2,null,2,buffer," + needed + ")",
        "LocalAlloc(64,50)",
        "GetProfileStringA(PrinterPorts,QV Color Tintwave 7310 PS,'',50)",
        "WriteProfileStringA(PrinterPorts,QV Color Tintwave 7310 PS,'QVKM7316,FILE:,15,45')",
        "GetProfileStringA(Devices,QV Color Tintwave 7310 PS,'',50)",
        "WriteProfileStringA(Devices,QV Color Tintwave 7310 PS,'QVKM7316,FILE:')",
        "LocalFree(50)",
        "LocalFree(" + needed + ")",
    };
    EXPECT_EQ(Fake().calls, expected);
}

struct RewriteCase {
    const char* what;
    Text ports, devices;                  // stored before
    Text expectedPorts, expectedDevices;  // stored after
    int result;
};

std::string Repeat(char c, size_t n)
{
    return std::string(n, c);
}

void PrintTo(const RewriteCase& c, std::ostream* os)
{
    *os << c.what;
}

class RewriteTest : public UpdateWinIniTest, public ::testing::WithParamInterface<RewriteCase> {};

TEST_P(RewriteTest, ReplacesOnlyTheTextBeforeTheFirstComma)
{
    const RewriteCase& c = GetParam();
    Fake().printers = {NamedPrinter(kTarget)};
    if (c.ports)
        Fake().profile[{"PrinterPorts", kTarget}] = *c.ports;
    if (c.devices)
        Fake().profile[{"Devices", kTarget}] = *c.devices;

    EXPECT_EQ(UpdateWinIni(kTarget, kDriver), c.result);

    auto stored = [](const char* section) -> Text {
        auto entry = Fake().profile.find({section, kTarget});
        return entry == Fake().profile.end() ? Text() : entry->second;
    };
    EXPECT_EQ(stored("PrinterPorts"), c.expectedPorts);
    EXPECT_EQ(stored("Devices"), c.expectedDevices);
}

// 49 characters fill the 50-byte read exactly; longer values must come back whole.
const std::string kTail46 = ",FILE:," + Repeat('t', 39);  // with "Old", 49 characters
const std::string kTail75 = ",LPT1:," + Repeat('t', 68);  // with "QVKM7316", 83 characters
const std::string kTail300 = ",FILE:," + Repeat('9', 293);

INSTANTIATE_TEST_SUITE_P(
    Values, RewriteTest,
    ::testing::Values(
        RewriteCase{"both", "Old,FILE:,15,45", "Old,FILE:", "QVKM7316,FILE:,15,45", "QVKM7316,FILE:", 1},
        RewriteCase{"several_commas", "Old,LPT1:,15,45,x", "Old,a,b,c", "QVKM7316,LPT1:,15,45,x", "QVKM7316,a,b,c", 1},
        RewriteCase{"leading_comma", ",FILE:,15,45", ",FILE:", "QVKM7316,FILE:,15,45", "QVKM7316,FILE:", 1},
        RewriteCase{"only_devices", {}, "Old,FILE:", {}, "QVKM7316,FILE:", 0},
        RewriteCase{"only_ports", "Old,FILE:,15,45", {}, "QVKM7316,FILE:,15,45", {}, 1},
        RewriteCase{"empty_values", "", "", "", "", 0},
        RewriteCase{"no_comma", "OldDriver", "Old Driver", "QVKM7316", "QVKM7316", 1},
        RewriteCase{"already_rewritten", "QVKM7316,FILE:,15,45", "QVKM7316,FILE:", "QVKM7316,FILE:,15,45",
                    "QVKM7316,FILE:", 1},
        RewriteCase{"exactly_49", "Old" + kTail46, "Old" + kTail46, "QVKM7316" + kTail46, "QVKM7316" + kTail46, 1},
        RewriteCase{"long_driver_field", Repeat('d', 60) + ",FILE:,15,45", Repeat('d', 60) + ",FILE:",
                    "QVKM7316,FILE:,15,45", "QVKM7316,FILE:", 1},
        RewriteCase{"new_value_over_79", "Old" + kTail75, "Old" + kTail75, "QVKM7316" + kTail75,
                    "QVKM7316" + kTail75, 1},
        RewriteCase{"several_hundred", "Old" + kTail300, "Old" + kTail300, "QVKM7316" + kTail300,
                    "QVKM7316" + kTail300, 1}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(UpdateWinIniTest, ReadsAFullBufferAgainTwiceAsLarge)
{
    struct {
        size_t length;
        Lines reads;
    } cases[] = {
        {48, {"50"}},
        {49, {"50", "100"}},
        {50, {"50", "100"}},
        {99, {"50", "100", "200"}},
        {300, {"50", "100", "200", "400"}},
    };
    for (const auto& c : cases) {
        SetUp();
        Fake().printers = {NamedPrinter(kTarget)};
        std::string value = "D," + Repeat('x', c.length - 2);
        Fake().profile[{"PrinterPorts", kTarget}] = value;

        EXPECT_EQ(UpdateWinIni(kTarget, kDriver), 1) << c.length;

        Lines reads;
        for (const std::string& call : CallsNamed("GetProfileStringA(PrinterPorts"))
            reads.push_back(call.substr(call.rfind(',') + 1, call.size() - call.rfind(',') - 2));
        EXPECT_EQ(reads, c.reads) << c.length;
        EXPECT_EQ(Stored("PrinterPorts", kTarget),
                  "QVKM7316" + value.substr(1))
            << c.length;
        EXPECT_TRUE(Fake().blocks.empty()) << c.length;
    }
}

TEST_F(UpdateWinIniTest, LeavesAValueTooLongToReadWholeAlone)
{
    // The largest read takes 1 MiB; a value that fills it may have been cut.
    struct {
        size_t length;
        int result;
    } cases[] = {{(1u << 20) - 2, 1}, {(1u << 20) - 1, 0}, {(1u << 20) + 10, 0}};
    for (const auto& c : cases) {
        SetUp();
        InstallWithValues({kTarget});
        const std::string value = "Old,FILE:," + Repeat('h', c.length - 10);
        Stored("PrinterPorts", kTarget) = value;

        EXPECT_EQ(UpdateWinIni(kTarget, kDriver), c.result) << c.length;

        const std::string expected = c.result ? "QVKM7316" + value.substr(3) : value;
        EXPECT_TRUE(Stored("PrinterPorts", kTarget) == expected) << c.length;
        EXPECT_EQ(Stored("Devices", kTarget), "QVKM7316,FILE:") << c.length;
        EXPECT_EQ(CallsNamed("GetProfileStringA(PrinterPorts").size(), 16u) << c.length;
    }
}

struct MatchCase {
    const char* what;
    std::vector<Text> installed;
    int result;
};

void PrintTo(const MatchCase& c, std::ostream* os)
{
    *os << c.what;
}

class MatchTest : public UpdateWinIniTest, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(MatchTest, RewritesOnlyPrintersNamedExactly)
{
    const MatchCase& c = GetParam();
    InstallWithValues(c.installed);
    Profile before = Fake().profile;

    EXPECT_EQ(UpdateWinIni(kTarget, kDriver), c.result);

    int matches = 0;
    for (const std::string& line : TracedLines())
        matches += line == "    -> match:\n";
    EXPECT_EQ(matches, c.result);
    EXPECT_EQ(TracedLines().size(), 2 + 12 * c.installed.size() + 3 * c.result);
    for (const auto& [entry, value] : before) {
        std::string expected = entry.second == kTarget ? "QVKM7316" + value.substr(value.find(',')) : value;
        EXPECT_EQ(Fake().profile[entry], expected) << entry.first << "/" << entry.second;
    }
    EXPECT_EQ(Fake().profile.size(), before.size());
}

INSTANTIATE_TEST_SUITE_P(
    Names, MatchTest,
    ::testing::Values(MatchCase{"exact", {kTarget}, 1},
                      MatchCase{"among_others", {"Office Laser", kTarget, "Label Writer"}, 1},
                      MatchCase{"none_matches", {"Office Laser", "Label Writer"}, 0},
                      MatchCase{"letter_case_differs", {"QV COLOR TINTWAVE 7310 PS", "qv color tintwave 7310 ps"}, 0},
                      MatchCase{"prefix_or_longer", {"QV Color Tintwave 7310", "QV Color Tintwave 7310 PS 2"}, 0},
                      MatchCase{"trailing_blank", {"QV Color Tintwave 7310 PS "}, 0},
                      MatchCase{"absent_name", {Text(), kTarget}, 1},
                      MatchCase{"listed_twice", {kTarget, kTarget}, 2}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(UpdateWinIniTest, HandlesTheNameWithoutSeriesFirst)
{
    struct {
        const char* name;
        Lines entries;
    } cases[] = {
        {"QV Color Tintwave 7310 PS", {"QV Color Tintwave 7310 PS"}},
        {"QV Series 7310", {"QV 7310", "QV Series 7310"}},
        {"A Series B Series C", {"A B C", "A B Series C", "A Series B Series C"}},
        {"QV series 7310", {"QV series 7310"}},
        {"QV SERIES 7310", {"QV SERIES 7310"}},
        {"QV Series", {"QV", "QV Series"}},
        {"QVSeries", {"QV", "QVSeries"}},
        {"Series", {"", "Series"}},
        {"Series 7310", {"7310", "Series 7310"}},
        {"QV Seriesx7310", {"QV 7310", "QV Seriesx7310"}},
    };
    for (const auto& c : cases) {
        SetUp();
        InstallWithValues({"Office Laser"});
        UpdateWinIni(c.name, kDriver);
        Lines expected;
        for (const std::string& entry : c.entries)
            expected.push_back("UpdateWinIni(" + entry + ",QVKM7316)\n");
        EXPECT_EQ(EntryLines(), expected) << c.name;
    }
}

TEST_F(UpdateWinIniTest, FinishesTheNameWithoutSeriesBeforeTheFullName)
{
    InstallWithValues({"X Series Y", "X Y"});

    EXPECT_EQ(UpdateWinIni("X Series Y", kDriver), 1);

    Lines nested(TracedLines().begin(), TracedLines().begin() + 2 + 2 * 12 + 3);
    EXPECT_EQ(nested.front(), "UpdateWinIni(X Y,QVKM7316)\n");
    EXPECT_EQ(nested.back(), "         GetProfileString(Devices,X Y) -> 'Old Driver,FILE:'\n");
    EXPECT_EQ(TracedLines()[nested.size()], "UpdateWinIni(X Series Y,QVKM7316)\n");
    Lines expectedWrites = {
        "WriteProfileStringA(PrinterPorts,X Y,'QVKM7316,FILE:,15,45')",
        "WriteProfileStringA(Devices,X Y,'QVKM7316,FILE:')",
        "WriteProfileStringA(PrinterPorts,X Series Y,'QVKM7316,FILE:,15,45')",
        "WriteProfileStringA(Devices,X Series Y,'QVKM7316,FILE:')",
    };
    EXPECT_EQ(CallsNamed("WriteProfileStringA"), expectedWrites);
}

TEST_F(UpdateWinIniTest, IgnoresTheNestedResult)
{
    // The nested call finds no printer list and fails; the outer one still does its work.
    InstallWithValues({"X Series Y"});
    int filling = 0;
    Fake().beforeFilling = [&] {
        if (filling++ == 0)
            Fake().fillingError = 5;
        else
            Fake().fillingError.reset();
    };

    EXPECT_EQ(UpdateWinIni("X Series Y", kDriver), 1);
    EXPECT_EQ(EntryLines(), Lines({"UpdateWinIni(X Y,QVKM7316)\n", "UpdateWinIni(X Series Y,QVKM7316)\n"}));
}

TEST_F(UpdateWinIniTest, FailsWithoutTouchingTheProfile)
{
    struct {
        const char* what;
        std::function<void()> arrange;
    } cases[] = {
        {"no printer installed", [] { Fake().printers.clear(); }},
        {"size query fails otherwise", [] { Fake().sizeQueryError = 5; }},
        {"enumeration buffer not had", [] { Fake().failingAlloc = 0; }},
        {"value buffer not had", [] { Fake().failingAlloc = 1; }},
        {"enumeration fails", [] { Fake().fillingError = 1722; }},
        {"printers added at every attempt",
         [] { Fake().beforeFilling = [] { Fake().printers.push_back(NamedPrinter("Another")); }; }},
    };
    for (const auto& c : cases) {
        SetUp();
        InstallWithValues({kTarget, "Office Laser"});
        Profile before = Fake().profile;
        c.arrange();

        EXPECT_EQ(UpdateWinIni(kTarget, kDriver), -1) << c.what;

        EXPECT_EQ(Fake().profile, before) << c.what;
        EXPECT_TRUE(CallsNamed("GetProfileStringA").empty()) << c.what;
        EXPECT_TRUE(CallsNamed("WriteProfileStringA").empty()) << c.what;
        EXPECT_TRUE(Fake().blocks.empty()) << c.what;
        EXPECT_EQ(EntryLines(), Lines({kTargetLine})) << c.what;
    }
}

TEST_F(UpdateWinIniTest, RefusesAbsentArgumentsAndOverlongNamesBeforeAnyCall)
{
    const std::string overlong(400, 'n');
    struct {
        const char* printer;
        const char* driver;
    } cases[] = {{nullptr, kDriver}, {kTarget, nullptr}, {nullptr, nullptr}, {overlong.c_str(), kDriver}};
    for (const auto& c : cases) {
        SetUp();
        InstallWithValues({kTarget});
        EXPECT_EQ(UpdateWinIni(c.printer, c.driver), -1);
        EXPECT_TRUE(Fake().calls.empty());
        EXPECT_TRUE(TracedLines().empty());
    }
}

TEST_F(UpdateWinIniTest, HandlesTheLongestNameThatFits)
{
    const std::string longest(399, 'n');
    InstallWithValues({longest});

    EXPECT_EQ(UpdateWinIni(longest.c_str(), kDriver), 1);
    EXPECT_EQ(Stored("Devices", longest), "QVKM7316,FILE:");
}

TEST_F(UpdateWinIniTest, CutsLongTraceLinesAtTheBuffer)
{
    FakePrinter printer = NamedPrinter(kTarget);
    printer.comment = Repeat('c', 1000);
    Fake().printers = {printer};

    UpdateWinIni(kTarget, kDriver);

    std::string expected = "    .pComment = '" + Repeat('c', 399 - 17);
    EXPECT_EQ(TracedLines()[8], expected);
}

TEST_F(UpdateWinIniTest, FollowsPrintersAddedOrRemovedWhileListing)
{
    // Between the size query and the listing a printer comes (sized again) or goes (fewer records).
    struct {
        const char* what;
        std::vector<Text> before;
        std::vector<Text> during;
        int result;
        size_t enumerations;
    } cases[] = {
        {"target added", {"Office Laser"}, {"Office Laser", kTarget}, 1, 3},
        {"all removed", {"Office Laser", kTarget}, {}, 0, 2},
    };
    for (const auto& c : cases) {
        SetUp();
        InstallWithValues(c.before);
        SetOldValues(kTarget);
        bool changed = false;
        Fake().beforeFilling = [&changed, &c] {
            if (changed)
                return;
            changed = true;
            Fake().printers.clear();
            for (const Text& name : c.during)
                Fake().printers.push_back(NamedPrinter(name));
        };

        EXPECT_EQ(UpdateWinIni(kTarget, kDriver), c.result) << c.what;
        EXPECT_EQ(CallsNamed("EnumPrintersA").size(), c.enumerations) << c.what;
        EXPECT_EQ(TracedLines()[1], "Iterating:\n") << c.what;
    }
}

TEST_F(UpdateWinIniTest, LeavesAValueAloneWhenNoLargerBlockIsHad)
{
    // Blocks: 0 enumeration, 1 value buffer, 2 the next one the rewrite of "PrinterPorts" asks for.
    const std::string longDriver = Repeat('D', 80);
    struct {
        const char* what;
        std::string value;
        const char* driver;
        std::string devicesAfter;
    } cases[] = {
        {"reading it again", "Old," + Repeat('r', 60), kDriver, "QVKM7316,FILE:"},
        {"building the new value", "Old,FILE:,15,45", longDriver.c_str(), longDriver + ",FILE:"},
    };
    for (const auto& c : cases) {
        SetUp();
        InstallWithValues({kTarget});
        Stored("PrinterPorts", kTarget) = c.value;
        Fake().failingAlloc = 2;

        EXPECT_EQ(UpdateWinIni(kTarget, c.driver), 0) << c.what;
        EXPECT_EQ(Stored("PrinterPorts", kTarget), c.value) << c.what;
        EXPECT_EQ(Stored("Devices", kTarget), c.devicesAfter) << c.what;
    }
}

TEST_F(UpdateWinIniTest, CountsAPrinterPortsWriteThatFails)
{
    InstallWithValues({kTarget});
    Fake().failingWrite = 0;

    EXPECT_EQ(UpdateWinIni(kTarget, kDriver), 1);
    EXPECT_EQ(Stored("PrinterPorts", kTarget), "Old Driver,FILE:,15,45");
    EXPECT_EQ(Stored("Devices", kTarget), "QVKM7316,FILE:");
}

}  // namespace
