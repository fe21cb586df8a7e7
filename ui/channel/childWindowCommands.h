#pragma once
// The main frame's actions for the commands that child windows carry: the
// channel window's (next and previous item, show summary, show item pane,
// size to fit, add to the read-me list, navigation bar, and its item list's
// open, copy, mail and mark commands) and the navigation bar's Back,
// Forward and go button. Triggering one runs it in the active child window
// (routeChildWindowCommand); its enabled state, check mark and text follow
// that window (childWindowCommandState) whenever the active window changes
// or says its commands changed.
//
//   installChildWindowCommands(frame);   // once, when the frame is created
//   frame.getCommand(32856)->trigger();  // the next item of the active channel window
//   updateChildWindowCommands(frame);    // before a menu shows them, if wanted
class CMainFrame;

void installChildWindowCommands(CMainFrame& frame);
void updateChildWindowCommands(CMainFrame& frame);
// Whether the command is one of those.
bool isChildWindowCommand(int id);
