#pragma once
// The dialogs' roads into the windows, for DesktopWiring::install(): the
// operations the dialogs ask of the windows (widgets/helpers/dialogWindowOps.h)
// and the new-channel wizard's starters.

// Installs the windows' side of DialogWindowOps; removeDialogWindowOps()
// takes it out again.
void installDialogWindowOps();
void removeDialogWindowOps();

// Connects the subscription road: the application server's "/subscribe"
// posts the address to the main window, whose handler brings it to the front
// and starts the wizard there; the main frame's "Create a new channel" runs
// the wizard over the main frame.
void installNewChannelWizardStarters();
