// The floor for the benchmark: only the platform calls the job cannot do without, with no tracing.
// Lists the local printers at level 2 (size, then records), finds the target, and reads and rewrites
// its "PrinterPorts" and "Devices" values.
#include <windows.h>
#include <winspool.h>

#include <string.h>

static const char kPrinterName[] = "QV Color Tintwave 7310 PS";
static const char kDriverName[] = "QVKM7316";

static void RewriteDriverField(const char* section)
{
    char value[512];
    char newValue[600];
    if (GetProfileStringA(section, kPrinterName, "", value, sizeof value) == 0)
        return;
    const char* tail = value + strcspn(value, ",");
    strcpy(newValue, kDriverName);
    strcat(newValue, tail);
    WriteProfileStringA(section, kPrinterName, newValue);
}

int main()
{
    DWORD needed = 0;
    DWORD count = 0;
    if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, needed));
    if (!buffer || !EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, needed, &needed, &count))
        return 0;
    const PRINTER_INFO_2A* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer);
    for (DWORD i = 0; i < count; ++i) {
        if (printers[i].pPrinterName && strcmp(printers[i].pPrinterName, kPrinterName) == 0) {
            RewriteDriverField("PrinterPorts");
            RewriteDriverField("Devices");
        }
    }
    LocalFree(buffer);
    return 0;
}
