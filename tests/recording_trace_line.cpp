#include "recording_trace_line.h"

#include "trace_line.h"

std::vector<std::string>& TracedLines()
{
    static std::vector<std::string> lines;
    return lines;
}

void TraceLine(const char* line)
{
    TracedLines().push_back(line);
}
