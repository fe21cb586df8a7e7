#pragma once
// The browser context-menu entries: for each item of the global options'
// "IE Context Menu Items" (item name -> menu text), the page of
// Resources/<item>.template is generated into a temporary file with
// APP_SERVER_URL = "http://127.0.0.1:<application server port>", and the
// key store key Software\Microsoft\Internet Explorer\MenuExt\<menu text>
// gets that file as its default value. No browser here reads those keys;
// they are written so that what the program leaves behind is the same.
//
//   installBrowserContextMenu(appServerPort);   // start-up
//   removeBrowserContextMenu();                 // shut-down
//
// Key store failures and missing templates are only logged.

// Log lines go to the message group "Startup".
void installBrowserContextMenu(int appServerPort);
// Log lines go to the message group "Shutdown". Deletes the sub-keys of the
// current menu texts and the generated files.
void removeBrowserContextMenu();

// The parent key of the entries.
extern const char* const kBrowserContextMenuKey;
