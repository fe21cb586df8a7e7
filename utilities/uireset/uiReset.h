#pragma once
// uireset: after asking, deletes the main program's per-user key
// Software\Orvan (with everything below it) from the key store, so that the
// program starts next time with its window and bar layout at the defaults.
//
//   int main(int argc, char** argv) { QApplication app(argc, argv); return uireset::run(); }
#include <string>

namespace uireset {

// The texts of its message boxes.
inline const char kCaption[] = "Reset Orvan UI";
inline const char kQuestion[] = "Do you want to reset the Orvan UI?";
inline const char kSuccess[] = "The Orvan UI was reset successfully.";

// Deletes HKEY_CURRENT_USER\Software\Orvan. 0 on success, a key that is not
// there included; else the system error code of the failure.
long resetUiKey();

// The system's text for an error code, or "WIN32 error %08lX" with the code
// when the system has none.
std::string errorText(long code);

// The whole program: the question, the reset and its message; 0 when the
// user cancels or the reset succeeds, -1 when it fails. Needs a QApplication.
int run();

}  // namespace uireset
