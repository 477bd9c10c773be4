#ifndef VELMAROK_TESTS_RECORDING_TRACE_LINE_H
#define VELMAROK_TESTS_RECORDING_TRACE_LINE_H

#include <string>
#include <vector>

// The trace lines handed to TraceLine since the last clear. Linked in place of the program's sink.
std::vector<std::string>& TracedLines();

#endif
