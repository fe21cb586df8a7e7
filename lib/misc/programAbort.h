#pragma once
// The program's one fatal path.
//
//   programAbort("Channel table corrupt.", __FILE__, __LINE__, __PRETTY_FUNCTION__);
//
// Writes the "PROGRAM ABORT" report to standard error and to the installed
// report sink (the message log installs itself as the sink when it is first
// used, so lib/misc needs no include of the log), then ends the process with
// exit(1), so that at-exit handlers run. Any of the
// three texts may be null. Only the first report of a process is made: a later
// call (for example from another thread while the first report is being
// written) returns at once and shows nothing.
#include <string>

void programAbort(const char* message, const char* file, unsigned line, const char* function);

// Receives the report's text (lines end in '\n') before the process ends.
using FatalReportSink = void (*)(const std::string& report);
// Installs the sink (null: standard error only); returns the previous one.
FatalReportSink setFatalReportSink(FatalReportSink sink);

// The report's text, as programAbort writes it (lines end in '\n'; the FILE
// line has no line end when the file is unknown).
std::string programAbortText(const char* message, const char* file, unsigned line, const char* function);
