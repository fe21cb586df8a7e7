#pragma once
// The "Global" page of a hook's property sheet: the parameters its definition
// file declares as global, one set of values shared by every channel whose
// hook uses the same definition file (a mail server, say).
#include "channels/plugin/paramDef.h"
#include "widgets/base/resizableSheet.h"

class ParamsGrid;

namespace channels {
class ChannelHook;
}

namespace dialogs {

class CGlobalChannelHookParamsPropPage : public CResizablePropertyPage {
    Q_OBJECT

public:
    explicit CGlobalChannelHookParamsPropPage(channels::ChannelHook* hook, QWidget* parent = nullptr);
    bool onApply() override;
    ParamsGrid* grid() const { return grid_; }

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    channels::ChannelHook* hook_;
    ParamsGrid* grid_;
    channels::ParamDefs defs_;
};

}  // namespace dialogs
