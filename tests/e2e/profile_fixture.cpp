// Sets up and inspects printers and profile sections inside a Wine prefix for the end-to-end tests.
// Reads one command a line from standard input, its fields separated by tabs:
//   printer NAME DRIVER     installs DRIVER (if need be) and a printer NAME on port FILE: that uses it
//   delete-printers         removes every local printer
//   set SECTION KEY VALUE   writes a profile value
//   delete SECTION KEY      removes a profile value
//   clear SECTION           removes a whole profile section
//   dump SECTION            prints "[SECTION]" and a line "key=value" for each of its values
// Stops at the first command that fails, with a message on standard error and exit status 1.
#include <windows.h>
#include <winspool.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

bool InstallPrinter(const std::string& name, const std::string& driver)
{
    DRIVER_INFO_3A driverInfo = {};
    driverInfo.cVersion = 3;
    driverInfo.pName = const_cast<char*>(driver.c_str());
    driverInfo.pDriverPath = const_cast<char*>("wineps.drv");
    driverInfo.pConfigFile = const_cast<char*>("wineps.drv");
    driverInfo.pDataFile = const_cast<char*>("generic.ppd");
    if (!AddPrinterDriverA(NULL, 3, reinterpret_cast<BYTE*>(&driverInfo)))
        return false;
    PRINTER_INFO_2A printerInfo = {};
    printerInfo.pPrinterName = const_cast<char*>(name.c_str());
    printerInfo.pPortName = const_cast<char*>("FILE:");
    printerInfo.pDriverName = const_cast<char*>(driver.c_str());
    printerInfo.pPrintProcessor = const_cast<char*>("WinPrint");
    printerInfo.pDatatype = const_cast<char*>("RAW");
    HANDLE printer = AddPrinterA(NULL, 2, reinterpret_cast<BYTE*>(&printerInfo));
    if (!printer)
        return false;
    ClosePrinter(printer);
    return true;
}

bool DeletePrinters()
{
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 4, NULL, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 4, buffer.data(), needed, &needed, &count))
        return false;
    const PRINTER_INFO_4A* printers = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        PRINTER_DEFAULTSA access = {NULL, NULL, PRINTER_ALL_ACCESS};
        HANDLE printer;
        if (!OpenPrinterA(printers[i].pPrinterName, &printer, &access))
            return false;
        BOOL deleted = DeletePrinter(printer);
        ClosePrinter(printer);
        if (!deleted)
            return false;
    }
    return true;
}

bool DumpSection(const std::string& section)
{
    static char buffer[1 << 22];
    DWORD length = GetProfileSectionA(section.c_str(), buffer, sizeof buffer);
    if (length >= sizeof buffer - 2)
        return false;
    printf("[%s]\n", section.c_str());
    for (const char* entry = buffer; *entry; entry += strlen(entry) + 1)
        printf("%s\n", entry);
    return true;
}

bool RunCommand(const std::vector<std::string>& f)
{
    const std::string& verb = f[0];
    if (verb == "printer" && f.size() == 3)
        return InstallPrinter(f[1], f[2]);
    if (verb == "delete-printers" && f.size() == 1)
        return DeletePrinters();
    if (verb == "set" && f.size() == 4)
        return WriteProfileStringA(f[1].c_str(), f[2].c_str(), f[3].c_str());
    if (verb == "delete" && f.size() == 3)
        return WriteProfileStringA(f[1].c_str(), f[2].c_str(), NULL);
    if (verb == "clear" && f.size() == 2)
        return WriteProfileStringA(f[1].c_str(), NULL, NULL);
    if (verb == "dump" && f.size() == 2)
        return DumpSection(f[1]);
    SetLastError(ERROR_BAD_ARGUMENTS);
    return false;
}

}  // namespace

int main()
{
    // Values pass through byte for byte, with no line ends translated.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    std::string line;
    for (int c; (c = getchar()) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && !RunCommand(SplitFields(line))) {
            fprintf(stderr, "failed (error %lu): %s\n", GetLastError(), line.c_str());
            return 1;
        }
        line.clear();
    }
    fflush(stdout);
    return 0;
}
