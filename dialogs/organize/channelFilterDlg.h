#pragma once
// Edits one channel filter: what the My Channels list shows (by new content
// or unread items, by categories, by a text sought in the channel's address,
// name or description, optionally inverted) and in which order. Apply tries
// the form on the My Channels list without storing anything.
#include <string>
#include <vector>

#include "app/options/channelFilter.h"
#include "widgets/base/appDialog.h"
#include "dialogs/channel/channelCategoriesCtrl.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dialogs {

class SaveWindowPlacement;

class CChannelFilterDlg : public AppDialog, public CChannelCategoriesCtrl {
    Q_OBJECT

public:
    // `otherNames`: the names of the other filters, which this one should not take.
    CChannelFilterDlg(const ChannelFilter& filter, const std::vector<std::string>& otherNames,
                      QWidget* parent = nullptr);

    // The edited filter (after OK).
    const ChannelFilter& getFilter() const { return filter_; }

    // Reads the form into `target`; with validate, checks it (the first
    // failure is shown, focused, and gives false); requireName refuses an
    // empty name.
    bool readForm(ChannelFilter& target, bool validate, bool requireName);
    void loadForm(const ChannelFilter& filter);

    void onOk();
    void onApply();
    void onReset();
    void reject() override;

    static SaveWindowPlacement placement;

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    void enableSearchOptions();

    ChannelFilter filter_;
    const ChannelFilter original_;
    std::vector<std::string> otherNames_;

    QLineEdit* name_;
    QComboBox* filterType_;
    QComboBox* categoriesOp_;
    QLineEdit* searchText_;
    QLabel* searchIn_;
    QCheckBox* inUrl_;
    QCheckBox* inName_;
    QCheckBox* inDescription_;
    QCheckBox* useRegExps_;
    QCheckBox* invert_;
    QComboBox* sortOrder_;
    QPushButton* apply_;
    QPushButton* reset_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace dialogs
