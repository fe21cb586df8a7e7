#pragma once
// The options sheet's "Display" page: font, size and colours of the My
// Channels and Plugins panes and of the item panes, with buttons that open
// the element dialog for the caption bar and the Workpad, and "Reset all".
// Nothing reaches the options before the page is applied.
#include <string>

#include <QString>

#include "widgets/base/appDialog.h"
#include "widgets/base/propertySheet.h"
#include "widgets/controls/colourPicker.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace ui {
class CColourPicker;
class CFontPreviewCombo;
}  // namespace ui

namespace dialogs {

// One element's font name, size and two colours (0x00BBGGRR).
struct ElementDisplay {
    std::string fontName;
    int fontSize = 16;
    int foreground = 0;
    int background = 0xFFFFFF;
};

// Edits one element's font, size, foreground and background; the caller
// reads them back from element() after IDOK.
class CGenericDisplayOptionsDlg : public AppDialog {
    Q_OBJECT

public:
    CGenericDisplayOptionsDlg(const QString& elementName, const ElementDisplay& values, QWidget* parent = nullptr);

    int DoModal();
    const ElementDisplay& element() const { return values_; }

    void accept() override;

protected:
    void initDialog() override;

private:
    QString elementName_;
    ElementDisplay values_;
    QLabel* nameLabel_;
    ui::CFontPreviewCombo* font_;
    QComboBox* size_;
    ui::CColourPicker* foreground_;
    ui::CColourPicker* background_;
};

class CDisplayPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CDisplayPropPage(QWidget* parent = nullptr);

    bool onApply() override;

    const ElementDisplay& captionBar() const { return captionBar_; }
    const ElementDisplay& workPad() const { return workPad_; }

protected:
    void initDialog() override;

private:
    struct Pane {
        ui::CFontPreviewCombo* font;
        QComboBox* size;
    };
    void onCaptionBar();
    void onWorkPad();
    void onResetAll();
    void editElement(const QString& name, ElementDisplay& values);

    Pane myChannels_;
    Pane plugins_;
    Pane items_;
    ui::CColourPicker* autoUpdateColour_;
    ui::CColourPicker* nonAutoUpdateColour_;
    ui::CColourPicker* myChannelsBackground_;
    QCheckBox* myChannelsBold_;
    ui::CColourPicker* pluginsForeground_;
    ui::CColourPicker* pluginsBackground_;
    ui::CColourPicker* unreadColour_;
    ui::CColourPicker* readColour_;
    QCheckBox* italicize_;
    QCheckBox* itemsBold_;
    ui::CColourPicker* itemsBackground_;
    ElementDisplay captionBar_;
    ElementDisplay workPad_;
};

}  // namespace dialogs
