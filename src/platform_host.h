#ifndef VELMAROK_PLATFORM_HOST_H
#define VELMAROK_PLATFORM_HOST_H

// The platform calls the update makes, declared for builds that do not target Windows, with the types,
// constants and record layout the update relies on. The unit tests define the calls.
#include <stddef.h>
#include <stdint.h>

typedef int BOOL;
typedef uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef unsigned int UINT;
typedef unsigned char BYTE;
typedef BYTE* LPBYTE;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef size_t SIZE_T;
typedef void* HLOCAL;

const DWORD PRINTER_ENUM_LOCAL = 0x2;
const DWORD ERROR_INSUFFICIENT_BUFFER = 122;
const UINT LMEM_ZEROINIT = 0x40;

struct PRINTER_INFO_2A {
    LPSTR pServerName;
    LPSTR pPrinterName;
    LPSTR pShareName;
    LPSTR pPortName;
    LPSTR pDriverName;
    LPSTR pComment;
    LPSTR pLocation;
    void* pDevMode;
    LPSTR pSepFile;
    LPSTR pPrintProcessor;
    LPSTR pDatatype;
    LPSTR pParameters;
    void* pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
};

BOOL EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE printerEnum, DWORD bufferSize,
                   LPDWORD bytesNeeded, LPDWORD recordsReturned);
DWORD GetLastError();
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL block);
DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR value, DWORD size);
BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value);

#endif
