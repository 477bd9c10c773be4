#ifndef VELMAROK_PLATFORM_H
#define VELMAROK_PLATFORM_H

// The spooler, profile and heap calls of the update, in their 8-bit forms: the system's own on Windows,
// our substitute elsewhere.
#ifdef _WIN32
#include <windows.h>
#include <winspool.h>
#else
#include "platform_host.h"
#endif

#endif
