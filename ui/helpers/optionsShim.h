#pragma once
// The option values the helpers and openers read. The listeners' ports and
// switches come from the global options; the rest keep their defaults until
// the global options object is in place for them.
#include <string>

#include "app/options/globalOptions.h"

struct DesktopOptions {
    bool disableAllSound() const { return false; }
    int appPluginServerPort() const { return GlobalOptions::instance().AppPluginServerPortNo; }
    // The subscription listeners in the order of their options.
    bool listenForSubscriptions(int index) const {
        const GlobalOptions& options = GlobalOptions::instance();
        switch (index) {
        case 0: return options.ListenForAmphetaDeskSubscriptions;
        case 1: return options.ListenForRadioUserlandSubscriptions;
        case 2: return options.ListenForHeadlineViewerSubscriptions;
        default: return false;
        }
    }
    std::string emailUrlSubjectLine() const { return "Link"; }
    std::string emailUrlBodyTemplate() const { return "{%URL%}"; }
    bool showBriefChannelSummaries() const { return false; }
};
inline const DesktopOptions& desktopOptions() {
    static DesktopOptions o;
    return o;
}
