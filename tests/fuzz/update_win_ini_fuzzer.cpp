// Drives the update through the substitute platform with fuzzed printers, names, profile values and
// failures, and checks after each input that it wrote only what it may write.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "fake_platform.h"
#include "update_win_ini.h"

namespace {

const char* const kWords[] = {"Series", "Series ", " Series", "series", "QV", " ", ",", "%s", "%n", "\xe9"};

// Text made of fuzzed bytes and words that matter to the update, without NUL (the platform's strings end there).
std::string ConsumeText(FuzzedDataProvider& in, size_t longest)
{
    std::string text;
    while (text.size() < longest && in.remaining_bytes() > 0 && in.ConsumeBool()) {
        if (in.ConsumeBool())
            text += kWords[in.ConsumeIntegralInRange<size_t>(0, std::size(kWords) - 1)];
        else
            text += std::string(in.ConsumeIntegralInRange<size_t>(1, 64), in.ConsumeIntegral<char>());
    }
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

// The names the update handles for `name`: the name itself and each shortened by one more "Series".
std::set<std::string> NameVariants(std::string name)
{
    std::set<std::string> variants = {name};
    for (size_t at; (at = name.find("Series")) != std::string::npos; variants.insert(name)) {
        if (at + 6 == name.size())
            name.erase(at > 0 && name[at - 1] == ' ' ? at - 1 : at);
        else
            name.erase(at, 7);
    }
    return variants;
}

std::string Tail(const std::string& value)
{
    return value.substr(std::min(value.find(','), value.size()));
}

void Check(bool holds, const char* invariant)
{
    if (!holds) {
        fprintf(stderr, "invariant broken: %s\n", invariant);
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Fake() = FakePlatform();
    FakePlatform& fake = Fake();

    const std::string target = in.ConsumeBool() ? "QV Color Tintwave 7310 PS" : ConsumeText(in, 420);
    const std::string driver = in.ConsumeBool() ? "QVKM7316" : ConsumeText(in, 120);
    const std::set<std::string> variants = NameVariants(target);
    std::vector<std::string> names(variants.begin(), variants.end());

    for (size_t count = in.ConsumeIntegralInRange<size_t>(0, 6), i = 0; i < count; ++i) {
        FakePrinter printer;
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: printer.name = target; break;
        case 1: printer.name = names[in.ConsumeIntegralInRange<size_t>(0, names.size() - 1)]; break;
        case 2: printer.name = ConsumeText(in, 300); break;
        default: break;  // absent
        }
        for (Text* field : {&printer.server, &printer.port, &printer.driver, &printer.comment, &printer.parameters})
            if (in.ConsumeBool())
                *field = ConsumeText(in, 500);
        fake.printers.push_back(printer);
        if (printer.name)
            for (const char* section : {"Devices", "PrinterPorts", "windows"})
                if (in.ConsumeBool())
                    fake.profile[{section, *printer.name}] = ConsumeText(in, 3000);
    }

    if (in.ConsumeBool())
        fake.sizeQueryError = in.ConsumeIntegralInRange<DWORD>(0, 200);
    if (in.ConsumeBool())
        fake.fillingError = in.ConsumeIntegralInRange<DWORD>(0, 200);
    fake.failingAlloc = in.ConsumeIntegralInRange(-1, 12);
    fake.failingWrite = in.ConsumeIntegralInRange(-1, 6);
    int added = in.ConsumeIntegralInRange(0, 6);
    FakePrinter newcomer;
    newcomer.name = in.ConsumeBool() ? target : ConsumeText(in, 40);
    fake.beforeFilling = [&] {
        if (added-- > 0)
            Fake().printers.push_back(newcomer);
    };
    const auto before = fake.profile;
    const bool absentName = in.ConsumeIntegralInRange(0, 15) == 0;
    const bool absentDriver = in.ConsumeIntegralInRange(0, 15) == 0;

    const int result = UpdateWinIni(absentName ? nullptr : target.c_str(), absentDriver ? nullptr : driver.c_str());

    Check(fake.blocks.empty(), "every heap block is released");
    std::set<std::string> listed;
    for (const FakePrinter& printer : fake.printers)
        if (printer.name)
            listed.insert(*printer.name);
    // Replays the writes in order: each must be the driver name and the whole tail of the value stored then.
    auto expected = before;
    int targetPortWrites = 0;
    for (size_t i = 0; i < fake.writes.size(); ++i) {
        const FakePlatform::Write& write = fake.writes[i];
        Check(write.section == "Devices" || write.section == "PrinterPorts", "writes only Devices and PrinterPorts");
        Check(variants.count(write.key) && listed.count(write.key), "writes only keys of printers named exactly");
        auto stored = expected.find({write.section, write.key});
        Check(stored != expected.end() && !stored->second.empty(), "writes only values that were there");
        Check(write.value == driver + Tail(stored->second), "writes the driver name and the whole tail");
        if (static_cast<int>(i) != fake.failingWrite)
            stored->second = write.value;
        targetPortWrites += write.section == "PrinterPorts" && write.key == target;
    }
    Check(fake.profile == expected, "every other value stays as it was");
    Check(result == -1 ? targetPortWrites == 0 : result == targetPortWrites,
          "the result is -1 or the number of PrinterPorts values rewritten");
    Check(!(absentName || absentDriver || target.size() >= 400) || (result == -1 && fake.calls.empty()),
          "absent or overlong arguments touch nothing");
    return 0;
}
