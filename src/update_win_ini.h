#ifndef VELMAROK_UPDATE_WIN_INI_H
#define VELMAROK_UPDATE_WIN_INI_H

// Points the "PrinterPorts" and "Devices" values of every local printer named exactly `printerName` at
// `driverName`: the text before the first comma becomes the driver name, the rest stays. A name holding
// "Series" is first handled once more without that word. Returns -1 when an argument is absent or the
// printer list is not to be had, otherwise the number of "PrinterPorts" values rewritten.
int UpdateWinIni(const char* printerName, const char* driverName);

#endif
