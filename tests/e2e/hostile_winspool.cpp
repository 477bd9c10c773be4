// A hostile winspool.drv for the planting test: put beside a program, it leaves the file planted.txt
// beside itself as soon as it is loaded, and its EnumPrintersA lists nothing.
#include <windows.h>

#include <string.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH + 16];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    char* folderEnd = strrchr(path, '\\');
    if (length == 0 || !folderEnd)
        return TRUE;
    strcpy(folderEnd + 1, "planted.txt");
    HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI EnumPrintersA(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
