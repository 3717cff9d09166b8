// trace.cpp - the call trace: one line per traced call while it is on.
#include "internal.h"

#include <cstdarg>
#include <cstdio>

int velTraceOn = 0;

namespace {
std::string traceText;  // the recorded lines
}

void velTrace(const char *format, ...)
{
    char line[512];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(line, sizeof line, format, ap);
    va_end(ap);
    if (n < 0) return;
    traceText.append(line, (size_t)n < sizeof line ? (size_t)n : sizeof line - 1);
    traceText.push_back('\n');
}

void vel_traceEnable(int on) { velTraceOn = on ? 1 : 0; }
const char *vel_traceText(void) { return traceText.c_str(); }
void vel_traceClear(void) { traceText.clear(); }
