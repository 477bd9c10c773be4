#include "fake_platform.h"

#include <cstdlib>
#include <cstring>


namespace {

using Member = LPSTR PRINTER_INFO_2A::*;
using FakeMember = Text FakePrinter::*;

const std::pair<FakeMember, Member> kFields[] = {
    {&FakePrinter::server, &PRINTER_INFO_2A::pServerName},
    {&FakePrinter::name, &PRINTER_INFO_2A::pPrinterName},
    {&FakePrinter::share, &PRINTER_INFO_2A::pShareName},
    {&FakePrinter::port, &PRINTER_INFO_2A::pPortName},
    {&FakePrinter::driver, &PRINTER_INFO_2A::pDriverName},
    {&FakePrinter::comment, &PRINTER_INFO_2A::pComment},
    {&FakePrinter::location, &PRINTER_INFO_2A::pLocation},
    {&FakePrinter::sepFile, &PRINTER_INFO_2A::pSepFile},
    {&FakePrinter::printProcessor, &PRINTER_INFO_2A::pPrintProcessor},
    {&FakePrinter::datatype, &PRINTER_INFO_2A::pDatatype},
    {&FakePrinter::parameters, &PRINTER_INFO_2A::pParameters},
};

std::string Quoted(const char* text)
{
    return text ? "'" + std::string(text) + "'" : "null";
}

void Log(std::string call)
{
    Fake().calls.push_back(std::move(call));
}

}  // namespace

FakePrinter NamedPrinter(Text name)
{
    FakePrinter printer;
    printer.name = std::move(name);
    printer.port = "FILE:";
    printer.driver = "Old Driver";
    printer.printProcessor = "WinPrint";
    printer.datatype = "RAW";
    return printer;
}

FakePlatform& Fake()
{
    static FakePlatform platform;
    return platform;
}

DWORD FakePlatform::BytesNeeded() const
{
    size_t bytes = printers.size() * sizeof(PRINTER_INFO_2A);
    for (const FakePrinter& printer : printers)
        for (const auto& field : kFields)
            if (const Text& text = printer.*field.first)
                bytes += text->size() + 1;
    return static_cast<DWORD>(bytes);
}

// Records first, their strings packed behind them, as the spooler lays them out.
BOOL EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE printerEnum, DWORD bufferSize, LPDWORD bytesNeeded,
                   LPDWORD recordsReturned)
{
    FakePlatform& fake = Fake();
    Log("EnumPrintersA(" + std::to_string(flags) + "," + Quoted(name) + "," + std::to_string(level) + "," +
        (printerEnum ? "buffer" : "null") + "," + std::to_string(bufferSize) + ")");
    *recordsReturned = 0;
    if (!printerEnum && fake.sizeQueryError) {
        fake.lastError = *fake.sizeQueryError;
        return 0;
    }
    if (printerEnum) {
        if (fake.beforeFilling)
            fake.beforeFilling();
        if (fake.fillingError) {
            fake.lastError = *fake.fillingError;
            return 0;
        }
    }
    *bytesNeeded = fake.BytesNeeded();
    if (bufferSize < *bytesNeeded) {
        fake.lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    PRINTER_INFO_2A* records = reinterpret_cast<PRINTER_INFO_2A*>(printerEnum);
    char* strings = reinterpret_cast<char*>(records + fake.printers.size());
    for (size_t i = 0; i < fake.printers.size(); ++i) {
        records[i] = PRINTER_INFO_2A();
        for (const auto& field : kFields) {
            if (const Text& text = fake.printers[i].*field.first) {
                std::memcpy(strings, text->c_str(), text->size() + 1);
                records[i].*field.second = strings;
                strings += text->size() + 1;
            }
        }
    }
    *recordsReturned = static_cast<DWORD>(fake.printers.size());
    return 1;
}

DWORD GetLastError()
{
    Log("GetLastError() -> " + std::to_string(Fake().lastError));
    return Fake().lastError;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes)
{
    FakePlatform& fake = Fake();
    Log("LocalAlloc(" + std::to_string(flags) + "," + std::to_string(bytes) + ")");
    if (fake.allocs++ == fake.failingAlloc)
        return nullptr;
    // At least one byte, so that every block has an address of its own.
    void* block = std::calloc(bytes ? bytes : 1, 1);
    fake.blocks[block] = bytes;
    return block;
}

HLOCAL LocalFree(HLOCAL block)
{
    FakePlatform& fake = Fake();
    Log("LocalFree(" + std::to_string(fake.blocks.count(block) ? fake.blocks[block] : 0) + ")");
    if (fake.blocks.erase(block))
        std::free(block);
    return nullptr;
}

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR value, DWORD size)
{
    FakePlatform& fake = Fake();
    Log("GetProfileStringA(" + std::string(section) + "," + key + "," + Quoted(fallback) + "," + std::to_string(size) +
        ")");
    auto entry = fake.profile.find({section, key});
    std::string text = entry != fake.profile.end() ? entry->second : fallback;
    size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(value, text.data(), length);
    value[length] = '\0';
    return static_cast<DWORD>(length);
}

BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value)
{
    FakePlatform& fake = Fake();
    Log("WriteProfileStringA(" + std::string(section) + "," + key + "," + Quoted(value) + ")");
    fake.writes.push_back({section, key, value});
    if (static_cast<int>(fake.writes.size()) - 1 == fake.failingWrite)
        return 0;
    fake.profile[{section, key}] = value;
    return 1;
}
