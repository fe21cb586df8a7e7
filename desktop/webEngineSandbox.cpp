#include "desktop/webEngineSandbox.h"

#include <unistd.h>

#include <cstdlib>

namespace {

bool g_offForRoot = false;

}  // namespace

bool prepareWebEngineSandbox() {
    g_offForRoot = ::geteuid() == 0;
    if (g_offForRoot) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    return g_offForRoot;
}

bool isWebEngineSandboxOffForRoot() { return g_offForRoot; }
