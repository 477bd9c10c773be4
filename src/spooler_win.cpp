// EnumPrintersA, taken from the spooler in the system directory and nowhere else. WINSPOOL.DRV is not
// among the DLLs that Windows always loads from the system directory: imported the usual way, it would
// be looked for in the program's own folder first, so that anyone able to put a file beside the program
// could run code in its process. An error other than ERROR_INSUFFICIENT_BUFFER tells the caller the
// spooler is not to be had.
#include <windows.h>
#include <winspool.h>

#include <string.h>

namespace {

typedef BOOL(WINAPI* EnumPrintersProc)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

EnumPrintersProc BindEnumPrinters()
{
    static const char kSpooler[] = "\\winspool.drv";
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof kSpooler > sizeof path)
        return NULL;
    memcpy(path + length, kSpooler, sizeof kSpooler);
    // With a full path, the spooler's own imports are looked for beside it, not beside the program.
    HMODULE spooler = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!spooler)
        return NULL;
    // FARPROC stands for any signature; the spooler's export has the one declared above.
    return reinterpret_cast<EnumPrintersProc>(reinterpret_cast<void (*)()>(GetProcAddress(spooler, "EnumPrintersA")));
}

}  // namespace

BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE printerEnum, DWORD bufferSize,
                          LPDWORD bytesNeeded, LPDWORD recordsReturned)
{
    static bool tried = false;
    static EnumPrintersProc bound = NULL;
    if (!tried) {
        tried = true;
        bound = BindEnumPrinters();
    }
    if (!bound) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return bound(flags, name, level, printerEnum, bufferSize, bytesNeeded, recordsReturned);
}
