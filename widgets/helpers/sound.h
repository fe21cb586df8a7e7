#pragma once
// Sounds: nothing at all while the option DisableAllSound is on.
// User-interface thread only.
#include <string>

// Plays the file, or beeps when it names no existing file.
void playSoundFile(const std::string& file);
// Plays one of the program's own sounds (Resources/<name>).
void playSoundResource(const std::string& name);
