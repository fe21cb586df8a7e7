#include "widgets/helpers/dialogWindowOps.h"

#include <utility>

#include "app/core/seams.h"

namespace {

DialogWindowOps& ops() {
    static DialogWindowOps installed;
    return installed;
}

const seams::Registration g_dialogWindowOpsSeam(
    "DialogWindowOps",
    [] {
        const DialogWindowOps& o = ops();
        return o.fireGlobalOptionsChanged && o.fireChannelCreated && o.fireChannelConfigChanged &&
               o.postMainFrameCommand && o.setNewChannelWizardOpen && o.getMyChannelsFilter && o.applyMyChannelsFilter;
    },
    [] { ops() = DialogWindowOps{}; });

}  // namespace

void setDialogWindowOps(DialogWindowOps installed) { ops() = std::move(installed); }
const DialogWindowOps& dialogWindowOps() { return ops(); }
