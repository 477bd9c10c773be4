#ifndef VELMAROK_TRACE_LINE_H
#define VELMAROK_TRACE_LINE_H

// Takes one formatted trace line. The program's sink discards it; tests link a sink that records it.
void TraceLine(const char* line);

#endif
