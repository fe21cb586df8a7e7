#include "dialogs/hints/hints.h"

#include <strings.h>

#include "app/core/programPaths.h"
#include "widgets/base/messageBox.h"
#include "tools/ini.h"

namespace dialogs {

namespace {

const char* const kDisabledHintsSection = "Disabled Hints";

std::string iniKey(const std::string& identifier) {
    const HintDef* hint = findHint(identifier);
    return hint ? hint->identifier : identifier;
}

}  // namespace

const HintButtonSet kHintButtonsOk = {{{}, {}, {IDOK, "OK"}}};
const HintButtonSet kHintButtonsOkCancel = {{{}, {IDOK, "OK"}, {IDCANCEL, "Cancel"}}};
const HintButtonSet kHintButtonsYesNo = {{{}, {IDYES, "Yes"}, {IDNO, "No"}}};
const HintButtonSet kHintButtonsYesNoCancel = {{{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}}};

const HintDef kHintTable[] = {
    {"ConfirmExit", "Do you want to exit?", "", &kHintButtonsOkCancel, IDCANCEL, IDOK},
    {"GlobalSoundIsDisabled",
     "You have asked that a sound be played when a new item arrives but sound has been disabled in the global "
     "options.",
     "Do you want to enable sound in the global options?", &kHintButtonsYesNoCancel, IDYES, IDNO},
    {"GlobalSoundIsDisabled2",
     "You have asked that a sound be played when an error occurs but all sound has been disabled.",
     "Do you want to enable sound?", &kHintButtonsYesNoCancel, IDYES, IDNO},
    {"GlobalAnimationIsDisabled",
     "You have asked that the system tray icon animate when a new item arrives but animation has been disabled in "
     "the global options.",
     "Do you want to enable animation in the global options?", &kHintButtonsYesNoCancel, IDYES, IDNO},
    {"GlobalBalloonsAreDisabled",
     "You have asked that notification balloons be shown when new items arrive but they have been disabled in the "
     "global options.",
     "Do you want to enable them in the global options?", &kHintButtonsYesNoCancel, IDYES, IDNO},
    {"ChangeWindowMode", "Changing the window mode will cause all windows to close.", "", &kHintButtonsOk, IDOK, IDOK},
    {"ChangePluginPort", "Changing the plugin port number will cause all windows to close.", "", &kHintButtonsOk, IDOK,
     IDOK},
    {"ChannelSummaryPage",
     "The information in the browser pane contains a summary of the channel and its current feed. You can always "
     "come back to this summary page by choosing \"Show summary\" from the Edit menu.",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"AutoUpdateInterval",
     "You are not restricted to the choices in the drop-down list and can type in any update interval you like "
     "e.g. \"90 minutes\" or \"3 days\"",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"SizeToFit",
     "By default, the item pane will not take up more than a certain amount of the available space. You can change "
     "this in the Program Options.",
     "Choose this menu option twice quickly (e.g. from the keyboard) to override this", &kHintButtonsOk, IDOK, IDOK},
    {"CaptionBar", "You have enabled the caption bar. It will appear when a window is open.", "", &kHintButtonsOk, IDOK,
     IDOK},
    {"AltCtrlHotkey", "You are defining a hotkey that does not use Control or Alt. Do you want to continue?", "",
     &kHintButtonsOkCancel, IDCANCEL, IDOK},
    {"GlobalAppPluginParams",
     "Changing the global plugin parameters will affect ALL channels being serviced by this application plugin.", "",
     &kHintButtonsOk, IDOK, IDOK},
    {"GlobalChannelPluginParams", "Changing the global plugin parameters will affect ALL channels using this plugin.",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"GlobalChannelHookParams", "Changing the global channel hook parameters will affect ALL channels using this hook.",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"ManagingChannels",
     "Now that your channel subscription list is growing, you can use channel filters to keep them organized.",
     "Do you want to create a new channel filter?", &kHintButtonsYesNo, IDYES, IDNO},
    {"ChannelFilters",
     "Channel filters are used to control which channels are shown in the My Channels window and included in "
     "reports.\n\nChoose the filtering criteria you want to use and press OK or Apply.",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"NewChannelMayBeFiltered",
     "The new channel has been created but may not appear in the My Channels window depending on how channels are "
     "currently being filtered.",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"UndefinedChannelCategories", "You have used a channel category that has not been defined in the program options.",
     "Do you want to define it?", &kHintButtonsYesNoCancel, IDYES, IDNO},
    {"DefiningChannelCategories",
     "You can define categories here to help organize your channels. Create the ones you want and then assign "
     "channels to one or more categories. You can then filter the My Channels window or generate reports by "
     "category.",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"UsingChannelCategories",
     "Channels can be assigned to one or more category that have been defined in the Program Options. You can then "
     "filter the My Channels window or generate reports by category.",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"AssigningHotkeys",
     "To assign hotkeys, click in the hotkey window in the top right-hand corner, press the key combination you "
     "want to use and then click on the button to the right.",
     "", &kHintButtonsOk, IDOK, IDOK},
    {"RunAsSystemTrayApp",
     "The program is running as a system tray application. Right-click on the icon in the system tray to really "
     "exit the program.",
     "Do you want to change back to running as a normal Windows application?", &kHintButtonsYesNoCancel, IDNO, IDNO},
    {"ConfirmRemoveFromReadMe", "Do you want to remove the item from the read-me list?", "", &kHintButtonsOkCancel,
     IDCANCEL, IDOK},
    {"ConfirmRemoveAllFromReadMe", "Do you want to remove all items from the read-me list?", "", &kHintButtonsOkCancel,
     IDCANCEL, IDOK},
    {"WorkpadReport",
     "This report template is designed to work with a selection of channels and not the Workpad's Read-me list.", "",
     &kHintButtonsOkCancel, IDCANCEL, IDOK},
    {"DefaultChannelSummaryReport",
     "DefaultChannelSummary.template is the template file for channel summary pages and is not intended to be used "
     "for channel reports.",
     "", &kHintButtonsOkCancel, IDCANCEL, IDOK},
    {nullptr, nullptr, nullptr, nullptr, 0, 0},
};

const HintDef* findHint(const std::string& identifier) {
    for (const HintDef* hint = kHintTable; hint->identifier; ++hint)
        if (strcasecmp(hint->identifier, identifier.c_str()) == 0) return hint;
    return nullptr;
}

bool isHintEnabled(const std::string& identifier) {
    return !tools::getIniBool(programPaths().userConfigFile, kDisabledHintsSection, iniKey(identifier), false);
}

void setHintEnabled(const std::string& identifier, bool enabled) {
    tools::writeIniBool(programPaths().userConfigFile, kDisabledHintsSection, iniKey(identifier), !enabled);
}

}  // namespace dialogs
