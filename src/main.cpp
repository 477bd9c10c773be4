#include "trace_line.h"
#include "update_win_ini.h"

// The whole configuration: the printer whose profile entries are rewritten, and the driver they name afterwards.
static const char kPrinterName[] = "QV Color Tintwave 7310 PS";
static const char kDriverName[] = "QVKM7316";

// Arguments and environment are not read; the run always ends with status 0, whatever the update met.
int main(int, char**, char**)
{
    TraceLine("Velmarok.exe:\n");
    UpdateWinIni(kPrinterName, kDriverName);
    return 0;
}
