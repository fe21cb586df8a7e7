#include "lib/log/downloadGroups.h"

CMessageGroup& logGroupInternetDownloads() {
    static CMessageGroup group("InternetDownloads", "");
    return group;
}

CMessageGroup& logGroupHttpHeaders() {
    static CMessageGroup group("HttpHeaders", "");
    return group;
}

namespace {
// Registers the groups during static initialisation, before the debug
// configuration switches groups at start-up.
const bool g_registered = (logGroupInternetDownloads(), logGroupHttpHeaders(), true);
}  // namespace
