#ifndef VELMAROK_TESTS_FAKE_PLATFORM_H
#define VELMAROK_TESTS_FAKE_PLATFORM_H

// A stand-in for the spooler, the profile and the heap: scripted printer records, an in-memory profile, a
// log of every call with its arguments, and failures on demand. Tests reset it with Fake() = FakePlatform().
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform.h"

using Text = std::optional<std::string>;

// The text fields of a printer record, any of them absent.
struct FakePrinter {
    Text server, name, share, port, driver, comment, location, sepFile, printProcessor, datatype, parameters;
};

FakePrinter NamedPrinter(Text name);

struct FakePlatform {
    std::vector<FakePrinter> printers;
    // (section, key) -> value.
    std::map<std::pair<std::string, std::string>, std::string> profile;
    std::vector<std::string> calls;

    // Failures on demand.
    std::optional<DWORD> sizeQueryError;   // the size query fails with this error
    std::optional<DWORD> fillingError;     // every call with a buffer fails with this error
    int failingAlloc = -1;                 // LocalAlloc call number (from 0) that returns null
    int failingWrite = -1;                 // WriteProfileStringA call number (from 0) that fails
    std::function<void()> beforeFilling;   // runs at each call with a buffer, before it looks at the printers

    // Outstanding heap blocks and their sizes.
    std::map<void*, size_t> blocks;
    int allocs = 0;
    // Every WriteProfileStringA call, whether it succeeded or not.
    struct Write {
        std::string section, key, value;
    };
    std::vector<Write> writes;
    DWORD lastError = 0;

    // The bytes a level-2 enumeration of `printers` takes.
    DWORD BytesNeeded() const;
};

FakePlatform& Fake();

#endif
