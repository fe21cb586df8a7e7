#include "dialogs/options/displayOptionsPage.h"

#include <exception>
#include <string>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/options/optionsCommon.h"
#include "widgets/helpers/entryFields.h"
#include "widgets/controls/fontPreviewCombo.h"

namespace dialogs {

namespace {

using G = GlobalOptions;

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

template <typename T>
T* named(T* control, const QString& name, int id) {
    control->setObjectName(name);
    setControlId(control, id);
    return control;
}

ui::CColourPicker* picker(QWidget* parent, const char* name, int id) {
    auto* colour = named(new ui::CColourPicker(parent), QString::fromLatin1(name), id);
    colour->setDefaultText(QString());  // no "Automatic" button
    return colour;
}

ui::CFontPreviewCombo* fontCombo(QWidget* parent, const char* name, int id) {
    return named(new ui::CFontPreviewCombo(parent), QString::fromLatin1(name), id);
}

QComboBox* sizeCombo(QWidget* parent, const char* name, int id) {
    auto* combo = named(new QComboBox(parent), QString::fromLatin1(name), id);
    combo->setEditable(true);
    return combo;
}

void setupFont(ui::CFontPreviewCombo* combo, const QString& sample, const std::string& name) {
    combo->setSampleText(sample);
    combo->setPreviewStyle(ui::CFontPreviewCombo::NameThenSample);
    combo->fillFontList();
    combo->selectFontName(QString::fromStdString(name));
}

ui::ColourRef ref(int colour) { return static_cast<ui::ColourRef>(colour); }
int colour(const ui::CColourPicker* picker) { return static_cast<int>(picker->getColour()); }

}  // namespace

// --- the element dialog

CGenericDisplayOptionsDlg::CGenericDisplayOptionsDlg(const QString& elementName, const ElementDisplay& values,
                                                     QWidget* parent)
    : AppDialog(parent), elementName_(elementName), values_(values) {
    setObjectName(QStringLiteral("genericDisplayOptionsDialog"));
    nameLabel_ = named(new QLabel(this), QStringLiteral("elementLabel"), 1121);
    font_ = fontCombo(this, "fontCombo", 1122);
    size_ = sizeCombo(this, "sizeCombo", 1123);
    foreground_ = picker(this, "foregroundPicker", 1124);
    background_ = picker(this, "backgroundPicker", 1125);
    auto* grid = new QGridLayout;
    grid->addWidget(nameLabel_, 0, 0, 1, 2);
    grid->addWidget(font_, 1, 0);
    grid->addWidget(size_, 1, 1);
    grid->addWidget(new QLabel(tr("Foreground"), this), 2, 0);
    grid->addWidget(foreground_, 2, 1);
    grid->addWidget(new QLabel(tr("Background"), this), 3, 0);
    grid->addWidget(background_, 3, 1);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CGenericDisplayOptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

int CGenericDisplayOptionsDlg::DoModal() { return runModal(*this) == QDialog::Accepted ? IDOK : IDCANCEL; }

void CGenericDisplayOptionsDlg::initDialog() {
    WaitCursor wait;
    dialogs::positionDialog(this);
    setWindowTitle(elementName_ + tr(" display options"));
    nameLabel_->setText(elementName_ + QStringLiteral(":"));
    setupFont(font_, elementName_, values_.fontName);
    fillFontSizeCombo(size_, values_.fontSize);
    foreground_->setColour(ref(values_.foreground));
    background_->setColour(ref(values_.background));
}

void CGenericDisplayOptionsDlg::accept() {
    int size = 0;
    if (!validateFontSizeField(size_, size)) return;
    values_.fontName = font_->fontName().toStdString();
    values_.fontSize = size;
    values_.foreground = colour(foreground_);
    values_.background = colour(background_);
    AppDialog::accept();
}

// --- the page

CDisplayPropPage::CDisplayPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("Display"));
    myChannels_ = {fontCombo(this, "myChannelsFontCombo", 1093), sizeCombo(this, "myChannelsSizeCombo", 1096)};
    autoUpdateColour_ = picker(this, "autoUpdateColourPicker", 1094);
    nonAutoUpdateColour_ = picker(this, "nonAutoUpdateColourPicker", 1097);
    myChannelsBackground_ = picker(this, "myChannelsBackgroundPicker", 1095);
    myChannelsBold_ = named(new QCheckBox(tr("Use bold fonts"), this), QStringLiteral("myChannelsBoldCheck"), 1193);
    plugins_ = {fontCombo(this, "pluginsFontCombo", 1098), sizeCombo(this, "pluginsSizeCombo", 1099)};
    pluginsForeground_ = picker(this, "pluginsForegroundPicker", 1100);
    pluginsBackground_ = picker(this, "pluginsBackgroundPicker", 1101);
    items_ = {fontCombo(this, "itemsFontCombo", 1102), sizeCombo(this, "itemsSizeCombo", 1103)};
    unreadColour_ = picker(this, "unreadColourPicker", 1104);
    readColour_ = picker(this, "readColourPicker", 1105);
    italicize_ = named(new QCheckBox(tr("I&talicize"), this), QStringLiteral("italicizeCheck"), 1112);
    itemsBold_ = named(new QCheckBox(tr("Use bold fonts"), this), QStringLiteral("itemsBoldCheck"), 1194);
    itemsBackground_ = picker(this, "itemsBackgroundPicker", 1106);
    auto* captionBar = named(new QPushButton(tr("Caption &Bar"), this), QStringLiteral("captionBarButton"), 1127);
    auto* workPad = named(new QPushButton(tr("&Workpad"), this), QStringLiteral("workPadButton"), 1126);
    auto* reset = named(new QPushButton(tr("&Reset all"), this), QStringLiteral("resetAllButton"), 1107);

    const auto group = [this](const QString& title, const Pane& pane,
                              std::initializer_list<std::pair<QString, QWidget*>> rows) {
        auto* box = new QGroupBox(title, this);
        auto* grid = new QGridLayout(box);
        grid->addWidget(pane.font, 0, 0, 1, 2);
        grid->addWidget(pane.size, 0, 2);
        int row = 1;
        for (const auto& [label, control] : rows) {
            if (!label.isEmpty()) grid->addWidget(new QLabel(label, box), row, 0);
            grid->addWidget(control, row, 1, 1, 2);
            ++row;
        }
        return box;
    };
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group(tr("My Channels"), myChannels_,
                            {{tr("Auto-updating channels"), autoUpdateColour_},
                             {tr("Disabled channels"), nonAutoUpdateColour_},
                             {tr("Background"), myChannelsBackground_},
                             {QString(), myChannelsBold_}}));
    layout->addWidget(group(tr("Plugins"), plugins_,
                            {{tr("Foreground"), pluginsForeground_}, {tr("Background"), pluginsBackground_}}));
    layout->addWidget(group(tr("Item panes"), items_,
                            {{tr("Unread items"), unreadColour_},
                             {tr("Read items"), readColour_},
                             {tr("Background"), itemsBackground_},
                             {QString(), italicize_},
                             {QString(), itemsBold_}}));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(captionBar);
    buttons->addWidget(workPad);
    buttons->addStretch(1);
    buttons->addWidget(reset);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(captionBar, &QPushButton::clicked, this, &CDisplayPropPage::onCaptionBar);
    connect(workPad, &QPushButton::clicked, this, &CDisplayPropPage::onWorkPad);
    connect(reset, &QPushButton::clicked, this, &CDisplayPropPage::onResetAll);
}

void CDisplayPropPage::initDialog() {
    WaitCursor wait;
    const GlobalOptions& options = GlobalOptions::instance();
    setupFont(myChannels_.font, tr("My Channels"), options.ControlCenterMyChannelsFontName);
    setupFont(plugins_.font, tr("Plugins"), options.ControlCenterAppPluginsFontName);
    setupFont(items_.font, tr("Channel items"), options.ChannelItemViewFontName);
    fillFontSizeCombo(myChannels_.size, options.ControlCenterMyChannelsFontSize);
    fillFontSizeCombo(plugins_.size, options.ControlCenterAppPluginsFontSize);
    fillFontSizeCombo(items_.size, options.ChannelItemViewFontSize);
    autoUpdateColour_->setColour(ref(options.ControlCenterAutoUpdateChannelFgdCol));
    nonAutoUpdateColour_->setColour(ref(options.ControlCenterNonAutoUpdateChannelFgdCol));
    myChannelsBackground_->setColour(ref(options.ControlCenterMyChannelsBgdCol));
    pluginsForeground_->setColour(ref(options.ControlCenterAppPluginsFgdCol));
    pluginsBackground_->setColour(ref(options.ControlCenterAppPluginsBgdCol));
    unreadColour_->setColour(ref(options.ChannelItemViewNewFeedItemFgdCol));
    readColour_->setColour(ref(options.ChannelItemViewViewedFeedItemFgdCol));
    itemsBackground_->setColour(ref(options.ChannelItemViewBgdCol));
    italicize_->setChecked(options.ItalicizeViewedFeedItems);
    myChannelsBold_->setChecked(options.EnableMyChannelsBoldFonts);
    itemsBold_->setChecked(options.EnableItemViewBoldFonts);
    captionBar_ = {options.CaptionBarFontName, options.CaptionBarFontSize, options.CaptionBarFgdCol,
                   options.CaptionBarBgdCol};
    workPad_ = {options.ReadMeListFontName, options.ReadMeListFontSize, options.ReadMeListFgdCol,
                options.ReadMeListBgdCol};
}

void CDisplayPropPage::editElement(const QString& name, ElementDisplay& values) {
    CGenericDisplayOptionsDlg dialog(name, values, this);
    if (dialog.DoModal() == IDOK) values = dialog.element();
}

void CDisplayPropPage::onCaptionBar() { editElement(tr("Caption bar"), captionBar_); }
void CDisplayPropPage::onWorkPad() { editElement(tr("Workpad"), workPad_); }

void CDisplayPropPage::onResetAll() {
    if (showMessage(this, tr("Do you want to reset all the display settings?"), MessageButtons::OkCancel,
                    MessageIcon::Question, IDCANCEL) != IDOK)
        return;
    // The options' own defaults; the bold-font boxes keep their state.
    const auto resetPane = [](const Pane& pane, std::string G::*font, int G::*size) {
        pane.font->selectFontName(QString::fromStdString(G::defaultOf(font)));
        fillFontSizeCombo(pane.size, G::defaultOf(size));
    };
    resetPane(myChannels_, &G::ControlCenterMyChannelsFontName, &G::ControlCenterMyChannelsFontSize);
    resetPane(plugins_, &G::ControlCenterAppPluginsFontName, &G::ControlCenterAppPluginsFontSize);
    resetPane(items_, &G::ChannelItemViewFontName, &G::ChannelItemViewFontSize);
    const std::pair<ui::CColourPicker*, int G::*> colours[] = {
        {autoUpdateColour_, &G::ControlCenterAutoUpdateChannelFgdCol},
        {nonAutoUpdateColour_, &G::ControlCenterNonAutoUpdateChannelFgdCol},
        {myChannelsBackground_, &G::ControlCenterMyChannelsBgdCol},
        {pluginsForeground_, &G::ControlCenterAppPluginsFgdCol},
        {pluginsBackground_, &G::ControlCenterAppPluginsBgdCol},
        {unreadColour_, &G::ChannelItemViewNewFeedItemFgdCol},
        {readColour_, &G::ChannelItemViewViewedFeedItemFgdCol},
        {itemsBackground_, &G::ChannelItemViewBgdCol},
    };
    for (const auto& [picker, field] : colours) picker->setColour(ref(G::defaultOf(field)));
    italicize_->setChecked(G::defaultOf(&G::ItalicizeViewedFeedItems));
    captionBar_ = {G::defaultOf(&G::CaptionBarFontName), G::defaultOf(&G::CaptionBarFontSize),
                   G::defaultOf(&G::CaptionBarFgdCol), G::defaultOf(&G::CaptionBarBgdCol)};
    workPad_ = {G::defaultOf(&G::ReadMeListFontName), G::defaultOf(&G::ReadMeListFontSize),
                G::defaultOf(&G::ReadMeListFgdCol), G::defaultOf(&G::ReadMeListBgdCol)};
}

bool CDisplayPropPage::onApply() {
    int myChannelsSize = 0, pluginsSize = 0, itemsSize = 0;
    if (!validateFontSizeField(myChannels_.size, myChannelsSize) ||
        !validateFontSizeField(plugins_.size, pluginsSize) || !validateFontSizeField(items_.size, itemsSize))
        return false;
    GlobalOptions& options = GlobalOptions::instance();
    try {
        options.ControlCenterMyChannelsFontName = myChannels_.font->fontName().toStdString();
        options.ControlCenterMyChannelsFontSize = myChannelsSize;
        options.ControlCenterAutoUpdateChannelFgdCol = colour(autoUpdateColour_);
        options.ControlCenterNonAutoUpdateChannelFgdCol = colour(nonAutoUpdateColour_);
        options.ControlCenterMyChannelsBgdCol = colour(myChannelsBackground_);
        options.EnableMyChannelsBoldFonts = myChannelsBold_->isChecked();
        options.ControlCenterAppPluginsFontName = plugins_.font->fontName().toStdString();
        options.ControlCenterAppPluginsFontSize = pluginsSize;
        options.ControlCenterAppPluginsFgdCol = colour(pluginsForeground_);
        options.ControlCenterAppPluginsBgdCol = colour(pluginsBackground_);
        options.ChannelItemViewFontName = items_.font->fontName().toStdString();
        options.ChannelItemViewFontSize = itemsSize;
        options.ChannelItemViewNewFeedItemFgdCol = colour(unreadColour_);
        options.ChannelItemViewViewedFeedItemFgdCol = colour(readColour_);
        options.ChannelItemViewBgdCol = colour(itemsBackground_);
        options.ItalicizeViewedFeedItems = italicize_->isChecked();
        options.EnableItemViewBoldFonts = itemsBold_->isChecked();
        options.CaptionBarFontName = captionBar_.fontName;
        options.CaptionBarFontSize = captionBar_.fontSize;
        options.CaptionBarFgdCol = captionBar_.foreground;
        options.CaptionBarBgdCol = captionBar_.background;
        options.ReadMeListFontName = workPad_.fontName;
        options.ReadMeListFontSize = workPad_.fontSize;
        options.ReadMeListFgdCol = workPad_.foreground;
        options.ReadMeListBgdCol = workPad_.background;
        saveGlobalOptions();
    } catch (const std::exception& error) {
        showSaveError(this, error);
        return false;
    }
    return true;
}

}  // namespace dialogs
