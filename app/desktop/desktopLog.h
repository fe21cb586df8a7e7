#pragma once
// The desktop's message groups as the windows and the application object
// reach them.
#include "lib/log/messageGroup.h"
#include "lib/log/messageLog.h"

CMessageGroup& uiEventsGroup();
CMessageGroup& startupGroup();
CMessageGroup& shutdownGroup();
CMessageGroup& channelEventsGroup();
CMessageGroup& channelHookCallbacksGroup();
