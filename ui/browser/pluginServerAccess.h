#pragma once
// The program's web views reach the plug-in server with the run's token
// (listeners::pluginServerToken): a request interceptor on the views' profile
// adds it to each request for the plug-in server that the program itself
// made (a typed or program-made load) or that a plug-in page made (its links
// and forms). A request from a page of any other site goes without it, and
// the server refuses it.
class QUrl;

namespace ui {

// Installs the interceptor on the default web profile (which starts the web
// engine when it has not started yet); later calls do nothing. Every view
// that may show plug-in pages calls it when it is made, and start-up calls it
// once the main window is idle.
void installPluginServerAccess();

// Whether a request for `target` started by `initiator` (the origin of the
// page that made it; empty for the program's own loads) gets the token, with
// the plug-in server on `pluginPort`.
bool carriesPluginServerToken(const QUrl& target, const QUrl& initiator, int pluginPort);

}  // namespace ui
