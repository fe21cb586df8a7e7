#include "lib/misc/programAbort.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Set by the first report; later reports return at once.
std::atomic<bool> g_reportUnderWay{false};
std::atomic<FatalReportSink> g_sink{nullptr};
}  // namespace

FatalReportSink setFatalReportSink(FatalReportSink sink) { return g_sink.exchange(sink); }

std::string programAbortText(const char* message, const char* file, unsigned line, const char* function) {
    std::string text;
    if (message) {
        text += "PROGRAM ABORT: ";
        text += message;
    }
    text += "\n";
    if (function) {
        const char* paren = std::strchr(function, '(');
        text += "- FUNCTION: ";
        text.append(function, paren ? static_cast<std::size_t>(paren - function) : std::strlen(function));
        text += "()\n";
    }
    text += "- FILE:     ";
    if (file) {
        text += file;
        text += " (line " + std::to_string(line) + ")\n";
    } else {
        text += "<unknown>";
    }
    return text;
}

void programAbort(const char* message, const char* file, unsigned line, const char* function) {
    if (g_reportUnderWay.exchange(true)) return;
    std::string text = programAbortText(message, file, line, function);
    std::string shown = text;
    if (shown.empty() || shown.back() != '\n') shown += '\n';
    std::fputs(shown.c_str(), stderr);
    std::fflush(stderr);
    if (FatalReportSink sink = g_sink.load()) sink(shown);
    std::exit(1);
}
