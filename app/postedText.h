#pragma once
// Texts handed to the user-interface thread with a posted window message.
// The message carries a number; the text waits here until the receiver
// takes it, so a message dropped on the way (its window gone) loses no
// memory.
//
//   postText(mainWindow, logChannelActivityMsg, line);     // any thread
//   std::string line = takePostedText(lParam);             // the receiver
#include <cstdint>
#include <string>

#include "platform/messages.h"

// False when the window is gone (the text is then dropped at once).
bool postText(platform::messages::Handle window, unsigned msg, const std::string& text);
// The text of a message posted with postText; empty for an unknown number.
std::string takePostedText(std::intptr_t lParam);
// Drops every text not yet taken.
void discardPostedTexts();
std::size_t getPostedTextCount();
