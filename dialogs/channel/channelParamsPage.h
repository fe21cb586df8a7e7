#pragma once
// The page "Plugin": the parameter values of a channel whose feed a plug-in
// makes (a plug-in channel's script, or the application plug-in serving an
// RSS channel), with the plug-in's details and its global parameters.
#include <functional>

#include "channels/plugin/paramDef.h"
#include "widgets/base/appDialog.h"
#include "widgets/base/propertySheet.h"
#include "dialogs/channel/channelPageCommon.h"

class QPlainTextEdit;
class QLabel;
class QPushButton;
class LinkButton;
class ParamsGrid;

namespace channels {
class AppPlugin;
class Channel;
}  // namespace channels

namespace dialogs {

class CChannelParamsPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CChannelParamsPropPage(QWidget* parent = nullptr);

    void setChannel(channels::Channel* channel) { channel_ = channel; }
    void setHelpContext(int helpContext) { helpContext_ = helpContext; }
    void setWizardSheet(QWidget* wizard) { wizardSheet_ = wizard; }

    bool onKillActive() override;
    bool onApply() override;
    // Writes the grid's values into the channel's parameter values; false for
    // a channel that takes none. The wizard calls it before its test fetch.
    bool storeValues();

    ParamsGrid* grid() const { return grid_; }
    QPushButton* detailsButton() const { return detailsButton_; }
    QPushButton* globalButton() const { return globalButton_; }

    // The application plug-in's property sheet (its details page is 0, its
    // parameters page 1), which the plug-in listener code provides. Without
    // one the two buttons only beep for an RSS channel.
    using AppPluginSheetOpener = std::function<void(QWidget* parent, channels::AppPlugin* plugin, int firstPage)>;
    static void setAppPluginSheetOpener(AppPluginSheetOpener opener);

protected:
    void initDialog() override;

private:
    void onDetails();
    void onGlobal();
    channels::AppPlugin* appPlugin() const;

    channels::Channel* channel_ = nullptr;
    QWidget* wizardSheet_ = nullptr;
    int helpContext_ = -1;
    ParamsGrid* grid_;
    channels::ParamDefs defs_;
    QPushButton* detailsButton_;
    QPushButton* globalButton_;
};

// "Plugin details" of a plug-in channel's script.
class CChannelPluginDetailsDlg : public AppDialog {
    Q_OBJECT

public:
    CChannelPluginDetailsDlg(channels::Channel* channel, QWidget* parent);

protected:
    void initDialog() override;

private:
    channels::Channel* channel_;
    QLabel* nameLabel_;
    AuthorDetails author_;
    QPushButton* okButton_;
};

// "Plugin parameters": the values every channel of the same script shares.
class CChannelPluginParamsDlg : public AppDialog {
    Q_OBJECT

public:
    CChannelPluginParamsDlg(channels::Channel* channel, QWidget* parent);
    ParamsGrid* grid() const { return grid_; }
    void accept() override;

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    channels::Channel* channel_;
    ParamsGrid* grid_;
    channels::ParamDefs defs_;
};

}  // namespace dialogs
