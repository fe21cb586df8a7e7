#pragma once
// TEMPORARY: stand-ins until the desktop's message groups land.
#include "lib/log/messageGroup.h"
namespace desktopgroups {
inline CMessageGroup& viewedFeedItems() {
    static CMessageGroup group("ViewedFeedItems", "");
    return group;
}
inline CMessageGroup& importViewedUrls() {
    static CMessageGroup group("ImportViewedUrls", "");
    return group;
}
}  // namespace desktopgroups
