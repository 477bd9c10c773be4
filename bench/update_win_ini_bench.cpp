// UpdateWinIni on the host against the substitute platform, with 1, 100 and 10,000 printer records, the
// target last. With "--once N" it makes one call over N records and exits, for counting instructions
// under callgrind.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fake_platform.h"
#include "update_win_ini.h"

namespace {

const char kTarget[] = "QV Color Tintwave 7310 PS";

void Install(size_t records)
{
    Fake() = FakePlatform();
    for (size_t i = 1; i < records; ++i) {
        FakePrinter printer = NamedPrinter("Bench Printer " + std::to_string(i));
        printer.comment = "third floor, room " + std::to_string(i);
        Fake().printers.push_back(printer);
    }
    Fake().printers.push_back(NamedPrinter(kTarget));
    Fake().profile[{"PrinterPorts", kTarget}] = "QV Old PS,FILE:,15,45";
    Fake().profile[{"Devices", kTarget}] = "QV Old PS,FILE:";
}

void UpdateOnce()
{
    Fake().calls.clear();
    Fake().writes.clear();
    benchmark::DoNotOptimize(UpdateWinIni(kTarget, "QVKM7316"));
}

void BM_UpdateWinIni(benchmark::State& state)
{
    Install(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        UpdateOnce();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_UpdateWinIni)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--once") == 0) {
        Install(std::strtoul(argv[2], nullptr, 10));
        UpdateOnce();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
