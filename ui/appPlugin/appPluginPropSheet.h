#pragma once
// The properties of an application plug-in: its details (identifier, name,
// author with a mail link, notes) and, when it defines parameters, a grid of
// its global parameter values. OK saves the values through the plug-in into
// the user's configuration file; when that fails the sheet says so and
// stays open.
//
//   dialogs::openAppPluginSheet(mainWindow, plugin, 0);
#include "channels/plugin/paramDef.h"
#include "widgets/base/propertySheet.h"
#include "dialogs/channel/channelPageCommon.h"

class QLabel;
class ParamsGrid;

namespace channels {
class AppPlugin;
}

namespace dialogs {

class CAppPluginDetailsPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    CAppPluginDetailsPropPage(channels::AppPlugin* plugin, QWidget* parent = nullptr);
    QLabel* idLabel() const { return idLabel_; }
    QLabel* nameLabel() const { return nameLabel_; }
    const AuthorDetails& author() const { return author_; }

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    channels::AppPlugin* plugin_;
    QLabel* idLabel_;
    QLabel* nameLabel_;
    AuthorDetails author_;
};

class CAppPluginParamsPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    CAppPluginParamsPropPage(channels::AppPlugin* plugin, QWidget* parent = nullptr);
    bool onApply() override;
    ParamsGrid* grid() const { return grid_; }

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    channels::AppPlugin* plugin_;
    ParamsGrid* grid_;
};

class CAppPluginPropSheet : public CAppPropertySheet {
    Q_OBJECT

public:
    // The parameters page (1) is there only when the plug-in defines
    // parameters.
    CAppPluginPropSheet(QWidget* parent, channels::AppPlugin* plugin, int firstPage);
    channels::AppPlugin* plugin() const { return plugin_; }

private:
    channels::AppPlugin* plugin_;
};

// Runs the plug-in's sheet modally; its result (IDOK when saved).
int openAppPluginSheet(QWidget* parent, channels::AppPlugin* plugin, int firstPage);

}  // namespace dialogs
