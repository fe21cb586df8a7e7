#include "dialogs/organize/channelFilterDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelPageCommon.h"
#include "widgets/base/resizer.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/organize/organizeDialogs.h"
#include "lib/misc/stringHelpers.h"
#include "lib/text/xpcre.h"

namespace dialogs {

namespace {

void fillCombo(QComboBox* combo, std::initializer_list<std::pair<const char*, int>> entries) {
    for (const auto& [text, value] : entries) combo->addItem(QObject::tr(text), value);
}

// Selects the entry whose data is `value`, or none.
void selectByValue(QComboBox* combo, int value) { combo->setCurrentIndex(combo->findData(value)); }

int selectedValue(const QComboBox* combo) { return combo->currentIndex() >= 0 ? combo->currentData().toInt() : 0; }

QLineEdit* lineEdit(QWidget* parent, const char* name, int id) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(50);
    setControlId(edit, id);
    return edit;
}

QComboBox* dropDown(QWidget* parent, const char* name, int id) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    setControlId(combo, id);
    return combo;
}

QCheckBox* checkBox(const QString& text, QWidget* parent, const char* name, int id) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    setControlId(box, id);
    return box;
}

}  // namespace

SaveWindowPlacement CChannelFilterDlg::placement;

CChannelFilterDlg::CChannelFilterDlg(const ChannelFilter& filter, const std::vector<std::string>& otherNames,
                                     QWidget* parent)
    : AppDialog(parent),
      CChannelCategoriesCtrl(new CChannelCategoriesCtrlEditListBox(this, this),
                             new QPushButton(QStringLiteral("..."), this)),
      filter_(filter),
      original_(filter),
      otherNames_(otherNames) {
    setObjectName(QStringLiteral("channelFilterDialog"));
    setWindowTitle(tr("Channel filter"));

    name_ = lineEdit(this, "filterNameEdit", 1169);
    filterType_ = dropDown(this, "filterTypeCombo", 1164);
    listBox()->setObjectName(QStringLiteral("categoriesList"));
    setControlId(listBox(), 1172);
    categoriesOp_ = dropDown(this, "categoriesOpCombo", 1174);
    menuButton()->setObjectName(QStringLiteral("categoriesMenuButton"));
    setControlId(menuButton(), 1173);
    searchText_ = lineEdit(this, "searchTextEdit", 1158);
    searchIn_ = new QLabel(tr("Search &in:"), this);
    searchIn_->setObjectName(QStringLiteral("searchInLabel"));
    setControlId(searchIn_, 1162);
    inUrl_ = checkBox(tr("Channel URL"), this, "searchUrlCheck", 1159);
    searchIn_->setBuddy(inUrl_);
    inName_ = checkBox(tr("Channel name"), this, "searchNameCheck", 1160);
    inDescription_ = checkBox(tr("Channel description"), this, "searchDescriptionCheck", 1161);
    useRegExps_ = checkBox(tr("Use &regular expressions"), this, "useRegExpsCheck", 1171);
    invert_ = checkBox(tr("Show non-&matching channels instead"), this, "invertCheck", 1167);
    sortOrder_ = dropDown(this, "sortOrderCombo", 1163);
    apply_ = new QPushButton(tr("&Apply"), this);
    apply_->setObjectName(QStringLiteral("applyButton"));
    reset_ = new QPushButton(tr("&Reset"), this);
    reset_->setObjectName(QStringLiteral("resetButton"));
    ok_ = new QPushButton(tr("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    auto* help = new QPushButton(tr("Help"), this);
    help->setObjectName(QStringLiteral("helpButton"));

    auto* form = new QGridLayout;
    auto* nameLabel = new QLabel(tr("Filter &name:"), this);
    nameLabel->setBuddy(name_);
    form->addWidget(nameLabel, 0, 0);
    form->addWidget(name_, 0, 1);
    auto* typeLabel = new QLabel(tr("&Filter by:"), this);
    typeLabel->setBuddy(filterType_);
    form->addWidget(typeLabel, 1, 0);
    form->addWidget(filterType_, 1, 1);

    auto* categories = new QGroupBox(tr("Channel categories"), this);
    auto* categoriesLayout = new QVBoxLayout(categories);
    categoriesLayout->addWidget(listBox());
    auto* opRow = new QHBoxLayout;
    opRow->addWidget(categoriesOp_, 1);
    opRow->addWidget(menuButton());
    categoriesLayout->addLayout(opRow);

    auto* search = new QGridLayout;
    auto* searchLabel = new QLabel(tr("&Search for:"), this);
    searchLabel->setBuddy(searchText_);
    search->addWidget(searchLabel, 0, 0);
    search->addWidget(searchText_, 0, 1, 1, 3);
    search->addWidget(searchIn_, 1, 0);
    search->addWidget(inUrl_, 1, 1);
    search->addWidget(inName_, 1, 2);
    search->addWidget(inDescription_, 1, 3);
    search->addWidget(useRegExps_, 2, 1, 1, 3);

    auto* sortRow = new QHBoxLayout;
    auto* sortLabel = new QLabel(tr("S&ort by:"), this);
    sortLabel->setBuddy(sortOrder_);
    sortRow->addWidget(sortLabel);
    sortRow->addWidget(sortOrder_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(apply_);
    buttons->addWidget(reset_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addWidget(help);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->addLayout(form);
    layout->addWidget(categories, 1);
    layout->addLayout(search);
    layout->addWidget(invert_);
    layout->addLayout(sortRow);
    layout->addLayout(buttons);

    rememberPlacement(&placement);

    connect(searchText_, &QLineEdit::textChanged, this, &CChannelFilterDlg::enableSearchOptions);
    connect(apply_, &QPushButton::clicked, this, &CChannelFilterDlg::onApply);
    connect(reset_, &QPushButton::clicked, this, &CChannelFilterDlg::onReset);
    connect(ok_, &QPushButton::clicked, this, &CChannelFilterDlg::onOk);
    connect(cancel_, &QPushButton::clicked, this, &CChannelFilterDlg::reject);
    connect(help, &QPushButton::clicked, this, [this] { showOrganizeHelp(this); });
}

void CChannelFilterDlg::initDialog() {
    fillCombo(filterType_, {{"None", ChannelFilter::None},
                            {"New content", ChannelFilter::HasNewContent},
                            {"Unread items", ChannelFilter::HasUnreadItems}});
    fillCombo(categoriesOp_, {{"All of these categories", ChannelFilter::AllCategories},
                              {"Any of these categories", ChannelFilter::AnyCategory}});
    fillCombo(sortOrder_, {{"Default", ChannelFilter::Default},
                           {"New items", ChannelFilter::NewItems},
                           {"Unread items", ChannelFilter::UnreadItems},
                           {"Time of last update", ChannelFilter::LastFeedUpdateTime},
                           {"Time of last new item", ChannelFilter::LastNewItemTime}});
    loadForm(filter_);
    init(this);
}

void CChannelFilterDlg::onPostInitDialog() {
    CHintDlg("ChannelFilters", this).DoModal();
    if (!name_->text().isEmpty())
        filterType_->setFocus();
    else
        name_->setFocus();
}

void CChannelFilterDlg::loadForm(const ChannelFilter& filter) {
    name_->setText(qs(filter.getFilterName()));
    searchText_->setText(qs(filter.getSearchText()));
    selectByValue(filterType_, filter.getFilterType());
    selectByValue(categoriesOp_, filter.getChannelCategoriesOp());
    selectByValue(sortOrder_, filter.getSortOrder());
    inUrl_->setChecked(filter.getSearchTextInChannelUrl());
    inName_->setChecked(filter.getSearchTextInChannelName());
    inDescription_->setChecked(filter.getSearchTextInChannelDescription());
    useRegExps_->setChecked(filter.getUseRegExps());
    invert_->setChecked(filter.getInvertFilter());
    while (listBox()->count() > 0) listBox()->removeItem(listBox()->count() - 1);
    fillList(filter.getChannelCategories());
    if (ownerWindow()) updateCategoriesMenu();
    enableSearchOptions();
}

void CChannelFilterDlg::enableSearchOptions() {
    const bool on = !searchText_->text().trimmed().isEmpty();
    for (QWidget* w : {static_cast<QWidget*>(searchIn_), static_cast<QWidget*>(inUrl_), static_cast<QWidget*>(inName_),
                       static_cast<QWidget*>(inDescription_), static_cast<QWidget*>(useRegExps_)})
        w->setEnabled(on);
}

bool CChannelFilterDlg::readForm(ChannelFilter& target, bool validate, bool requireName) {
    const std::string name = trimmedCopy(ss(name_->text()));
    const std::string searchText = trimmedCopy(ss(searchText_->text()));
    if (validate) {
        if (useRegExps_->isChecked() && !xpcre::isValidRe(searchText)) {
            showMessage(this, tr("Please enter a valid regular expression."));
            searchText_->setFocus();
            return false;
        }
        if (requireName && name.empty()) {
            showMessage(this, tr("Please enter a filter name."));
            name_->setFocus();
            return false;
        }
        if (!searchText.empty() && !inUrl_->isChecked() && !inName_->isChecked() && !inDescription_->isChecked()) {
            showMessage(this, tr("You must choose at least one place to search for the specified text."));
            inUrl_->setFocus();
            return false;
        }
        for (const std::string& other : otherNames_) {
            if (compareNoCase(other, name) != 0) continue;
            const int answer = showMessage(this, tr("There is already a channel filter with this name."),
                                           MessageButtons::OkCancel, MessageIcon::Warning, IDCANCEL);
            name_->setFocus();
            if (answer != IDOK) return false;
        }
    }
    std::vector<std::string> categories;
    if (!getCategories(categories, validate)) return false;
    target.setFilterName(name);
    target.setFilterType(selectedValue(filterType_));
    target.setSearchText(searchText);
    target.setSearchTextInChannelUrl(inUrl_->isChecked());
    target.setSearchTextInChannelName(inName_->isChecked());
    target.setSearchTextInChannelDescription(inDescription_->isChecked());
    target.setUseRegExps(useRegExps_->isChecked());
    target.setChannelCategories(categories, selectedValue(categoriesOp_));
    target.setInvertFilter(invert_->isChecked());
    target.setSortOrder(selectedValue(sortOrder_));
    return true;
}

void CChannelFilterDlg::onOk() {
    ChannelFilter edited = filter_;
    if (!readForm(edited, true, true)) return;
    filter_ = edited;
    accept();
}

void CChannelFilterDlg::onApply() {
    ChannelFilter scratch;
    if (!readForm(scratch, true, false)) return;
    applyChannelFilterToMyChannels(scratch);
}

void CChannelFilterDlg::onReset() {
    if (showMessage(this, tr("Reset this channel filter?"), MessageButtons::OkCancel, MessageIcon::Question,
                    IDCANCEL) != IDOK)
        return;
    const QString name = name_->text();
    loadForm(ChannelFilter());
    name_->setText(name);
}

void CChannelFilterDlg::reject() {
    ChannelFilter scratch;
    if (!readForm(scratch, false, false)) return;
    if (!scratch.isEqual(original_, true) &&
        showMessage(this, tr("This channel filter has been changed.\n\nDiscard the changes?"), MessageButtons::OkCancel,
                    MessageIcon::Question, IDCANCEL) != IDOK)
        return;
    AppDialog::reject();
}

}  // namespace dialogs
