#pragma once
// Qt WebEngine's sandbox refuses to run as root: its first page ends the
// process. Before the first web view exists, a program running with the
// effective user root turns the sandbox off.
//
//   int main(...) { prepareWebEngineSandbox(); QApplication qt(...); ... }

// Turns Qt WebEngine's sandbox off (QTWEBENGINE_DISABLE_SANDBOX) when the
// effective user is root; nothing otherwise. Returns true when it turned it
// off. Call it before Qt WebEngine starts.
bool prepareWebEngineSandbox();

// What the last call of prepareWebEngineSandbox did.
bool isWebEngineSandboxOffForRoot();
