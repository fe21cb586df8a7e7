#pragma once
// The options sheet's "Search" page: the program-wide list of channel
// categories, edited in the category list (New, Delete, Up, Down; empty and
// duplicate names refused, typed or renamed). OK stores the list and takes
// every removed category off every channel.
#include "widgets/base/propertySheet.h"
#include "dialogs/channel/channelCategoriesCtrl.h"

class QPushButton;

namespace dialogs {

class CSearchOptionsPropPage : public CAppPropertyPage, public CChannelCategoriesCtrl {
    Q_OBJECT

public:
    explicit CSearchOptionsPropPage(QWidget* parent = nullptr);

    bool onApply() override;
    CChannelCategoriesCtrlEditListBox* categoriesList() const { return listBox(); }

protected:
    void initDialog() override;
    void onPostInitDialog() override;
};

}  // namespace dialogs
