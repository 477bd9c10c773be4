#include "update_win_ini.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "platform.h"
#include "trace_line.h"

namespace {

// The name copy for the "Series" variant, then each trace line.
const size_t kWorkSize = 400;
// The value to be written: driver name and tail. A longer one is built on the heap.
const size_t kNewValueSize = 80;
// A value read from the profile. A read that fills it may have been cut, and is made again with a
// buffer twice as large, up to kMaxValueSize; a value that fills even that one is left alone.
const DWORD kValueSize = 50;
const DWORD kMaxValueSize = 1u << 20;
// A printer added between sizing and filling makes the enumeration fail with ERROR_INSUFFICIENT_BUFFER;
// it is sized again this many times in all.
const int kEnumerationAttempts = 4;

const char kSeries[] = "Series";

struct TracedField {
    const char* name;
    LPSTR PRINTER_INFO_2A::*member;
};

// Every text field of a printer record in the record's own order; pDevMode is not traced.
const TracedField kTracedFields[] = {
    {"pServerName", &PRINTER_INFO_2A::pServerName},
    {"pPrinterName", &PRINTER_INFO_2A::pPrinterName},
    {"pShareName", &PRINTER_INFO_2A::pShareName},
    {"pPortName", &PRINTER_INFO_2A::pPortName},
    {"pDriverName", &PRINTER_INFO_2A::pDriverName},
    {"pComment", &PRINTER_INFO_2A::pComment},
    {"pLocation", &PRINTER_INFO_2A::pLocation},
    {"pSepFile", &PRINTER_INFO_2A::pSepFile},
    {"pPrintProcessor", &PRINTER_INFO_2A::pPrintProcessor},
    {"pDatatype", &PRINTER_INFO_2A::pDatatype},
    {"pParameters", &PRINTER_INFO_2A::pParameters},
};

const char* TextOrNull(const char* text)
{
    return text ? text : "(null)";
}

// Formats one trace line into `work` (kWorkSize bytes, a longer line is cut) and hands it on.
__attribute__((format(printf, 2, 3))) void TraceFormatted(char* work, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(work, kWorkSize, format, args);
    va_end(args);
    TraceLine(work);
}

// Takes the word at `series` out of `name` together with the character after it, the blank before the
// next word. A name that ends in the word loses the word and the blank before it instead.
void RemoveSeriesWord(char* name, char* series)
{
    char* after = series + sizeof kSeries - 1;
    if (*after == '\0') {
        if (series > name && series[-1] == ' ')
            --series;
        *series = '\0';
        return;
    }
    memmove(series, after + 1, strlen(after + 1) + 1);
}

// Fills a zero-filled block from the heap with the local printers' level-2 records. Returns the block,
// which the caller frees, and the number of records in `count`; null when the list is not to be had.
BYTE* EnumerateLocalPrinters(DWORD* count)
{
    DWORD needed = 0;
    DWORD returned = 0;
    if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &returned))
        return NULL;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return NULL;
    for (int attempt = 0; attempt < kEnumerationAttempts; ++attempt) {
        DWORD size = needed;
        BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, size));
        if (!buffer)
            return NULL;
        if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, &needed, &returned)) {
            // Never more records than the block can hold, whatever the count says.
            DWORD fitting = size / sizeof(PRINTER_INFO_2A);
            *count = returned < fitting ? returned : fitting;
            return buffer;
        }
        DWORD error = GetLastError();
        LocalFree(buffer);
        if (error != ERROR_INSUFFICIENT_BUFFER)
            return NULL;
    }
    return NULL;
}

// Reads the value of `key` in `section` into `value` (kValueSize bytes) and, while a read fills its
// buffer, again into a block twice as large, at most kMaxValueSize. Returns the whole value, `value`
// itself or a block the caller frees, with its length in `length`; null when it could not be read whole
// (what was read then stays in `value`).
char* ReadWholeValue(const char* section, const char* key, char* value, DWORD* length)
{
    *length = GetProfileStringA(section, key, "", value, kValueSize);
    char* whole = value;
    for (DWORD size = kValueSize; *length >= size - 1;) {
        if (whole != value)
            LocalFree(whole);
        if (size == kMaxValueSize)
            return NULL;
        size = size < kMaxValueSize / 2 ? size * 2 : kMaxValueSize;
        whole = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, size));
        if (!whole)
            return NULL;
        *length = GetProfileStringA(section, key, "", whole, size);
    }
    return whole;
}

// Builds `driverName` followed by the tail of `value` (its first comma and all after it; nothing when it
// holds no comma) in `buffer` (kNewValueSize bytes) or, when longer, in a block the caller frees.
// Returns the new value, or null when no block could be had.
char* BuildNewValue(const char* driverName, const char* value, char* buffer)
{
    const char* tail = value + strcspn(value, ",");
    size_t driverLength = strlen(driverName);
    size_t tailSize = strlen(tail) + 1;
    char* newValue = buffer;
    if (driverLength + tailSize > kNewValueSize)
        newValue = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, driverLength + tailSize));
    if (!newValue)
        return NULL;
    memcpy(newValue, driverName, driverLength);
    memcpy(newValue + driverLength, tail, tailSize);
    return newValue;
}

// Reads the printer's value in `section`, traces it, and writes it back with `driverName` as its driver
// field. A missing or empty value, or one that could not be read whole, is left alone. Returns whether a
// new value was written.
bool RewriteDriverField(char* work, const char* section, const char* printer, const char* driverName,
                        char* value)
{
    DWORD length = 0;
    char* whole = ReadWholeValue(section, printer, value, &length);
    TraceFormatted(work, "         GetProfileString(%s,%s) -> '%s'\n", section, printer, whole ? whole : value);
    if (!whole)
        return false;
    bool written = false;
    if (length > 0) {
        char buffer[kNewValueSize];
        char* newValue = BuildNewValue(driverName, whole, buffer);
        if (newValue) {
            WriteProfileStringA(section, printer, newValue);
            written = true;
            if (newValue != buffer)
                LocalFree(newValue);
        }
    }
    if (whole != value)
        LocalFree(whole);
    return written;
}

}  // namespace

int UpdateWinIni(const char* printerName, const char* driverName)
{
    if (!printerName || !driverName)
        return -1;
    char work[kWorkSize];
    size_t nameLength = strlen(printerName);
    if (nameLength >= sizeof work)
        return -1;
    memcpy(work, printerName, nameLength + 1);
    if (char* series = strstr(work, kSeries)) {
        RemoveSeriesWord(work, series);
        UpdateWinIni(work, driverName);
    }

    TraceFormatted(work, "UpdateWinIni(%s,%s)\n", printerName, driverName);
    DWORD count = 0;
    BYTE* enumeration = EnumerateLocalPrinters(&count);
    if (!enumeration)
        return -1;
    char* value = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, kValueSize));
    if (!value) {
        LocalFree(enumeration);
        return -1;
    }

    int rewritten = 0;
    TraceLine("Iterating:\n");
    const PRINTER_INFO_2A* printers = reinterpret_cast<const PRINTER_INFO_2A*>(enumeration);
    for (DWORD i = 0; i < count; ++i) {
        const PRINTER_INFO_2A& printer = printers[i];
        TraceFormatted(work, "  pPrinterInfo[%d]:\n", static_cast<int>(i));
        for (const TracedField& field : kTracedFields)
            TraceFormatted(work, "    .%s = '%s'\n", field.name, TextOrNull(printer.*field.member));
        if (!printer.pPrinterName || strcmp(printer.pPrinterName, printerName) != 0)
            continue;
        TraceLine("    -> match:\n");
        if (RewriteDriverField(work, "PrinterPorts", printer.pPrinterName, driverName, value))
            ++rewritten;
        RewriteDriverField(work, "Devices", printer.pPrinterName, driverName, value);
    }
    LocalFree(value);
    LocalFree(enumeration);
    return rewritten;
}
