#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "recording_trace_line.h"

// src/main.cpp, built for the tests under this name.
int RunEntry(int argc, char** argv, char** envp);

namespace {

int RunWith(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    char* envp[] = {nullptr};
    return RunEntry(static_cast<int>(arguments.size()), argv.data(), envp);
}

TEST(Entry, RewritesTheBuiltInTargetAndEndsWithZeroWhateverItMeets)
{
    struct {
        const char* what;
        bool installed;
        std::vector<std::string> arguments;
        const char* portsAfter;
    } cases[] = {
        {"target installed", true, {"Velmarok.exe"}, "QVKM7316,FILE:,15,45"},
        {"with arguments", true, {"Velmarok.exe", "/?", "QV Other", "%s%n"}, "QVKM7316,FILE:,15,45"},
        {"no printer", false, {"Velmarok.exe"}, "Old,FILE:,15,45"},
    };
    for (const auto& c : cases) {
        Fake() = FakePlatform();
        TracedLines().clear();
        Fake().profile[{"PrinterPorts", "QV Color Tintwave 7310 PS"}] = "Old,FILE:,15,45";
        if (c.installed)
            Fake().printers = {NamedPrinter("QV Color Tintwave 7310 PS")};

        EXPECT_EQ(RunWith(c.arguments), 0) << c.what;

        ASSERT_GE(TracedLines().size(), 2u) << c.what;
        EXPECT_EQ(TracedLines()[0], "Velmarok.exe:\n") << c.what;
        EXPECT_EQ(TracedLines()[1], "UpdateWinIni(QV Color Tintwave 7310 PS,QVKM7316)\n") << c.what;
        EXPECT_EQ((Fake().profile[{"PrinterPorts", "QV Color Tintwave 7310 PS"}]), c.portsAfter) << c.what;
    }
}

}  // namespace
