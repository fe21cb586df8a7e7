#pragma once
// The hooks through which one part of the program reaches another that it
// may not include (the windows, the dialogs, the notification area). Each
// is defined where it is called and installed by the program's start-up
// wiring. A hook is registered with a test of whether it is installed, so
// the wiring can be checked as a whole, and with how it is removed, which
// resetProgramObjectsForTests() (app/core/programObjects.h) calls:
//
//   const seams::Registration reg("ChannelWindowOps", [] { return bool(ops().openChannelDoc); },
//                                 [] { setChannelWindowOps({}); });
//   ...
//   if (!ops().openChannelDoc) { seams::missing("ChannelWindowOps"); return; }
#include <string>
#include <vector>

#include "app/core/programObjects.h"

namespace seams {

struct Entry {
    std::string name;
    bool (*installed)();
};

// Made at namespace scope in the file that defines the hook.
class Registration {
public:
    Registration(const char* name, bool (*installed)(), void (*reset)());

private:
    ProgramObjectReset reset_;
};

// Every registered hook, in registration order.
std::vector<Entry> registered();
// The registered hooks that are not installed now.
std::vector<std::string> notInstalled();

// A hook called while not installed: an error line in the log; in debug
// builds an assertion fails as well. The caller then goes on without it.
void missing(const char* name);

}  // namespace seams
