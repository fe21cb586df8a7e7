#pragma once
// The program's name and version from the build.

// Sets the application name and version string of the program paths from
// the application object's own values (kept as they are when it has none).
void getVersionInfo();
