#include "dialogs/organize/channelReportConfigDlg.h"

#include <filesystem>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/misc/timeInterval.h"
#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelPageCommon.h"
#include "widgets/base/resizer.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/files/fileBrowser.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/organize/organizeDialogs.h"
#include "lib/misc/stringHelpers.h"

namespace dialogs {

namespace {

std::string trimmed(const QString& text) { return text.trimmed().toStdString(); }

QLineEdit* lineEdit(QWidget* parent, const char* name, int id, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(maxLength);
    setControlId(edit, id);
    return edit;
}

QPushButton* iconButton(QWidget* parent, const char* name, int id, QStyle::StandardPixmap icon) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(icon));
    setControlId(button, id);
    return button;
}

// The file name with its extension, without its folder.
std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

SaveWindowPlacement CChannelReportConfigDlg::placement;
std::string CChannelReportConfigDlg::templateDirectory;
std::string CChannelReportConfigDlg::outputDirectory;

CChannelReportConfigDlg::CChannelReportConfigDlg(const ChannelReportConfig& report,
                                                 const std::vector<std::string>& otherNames, QWidget* parent)
    : AppDialog(parent), report_(report), otherNames_(otherNames) {
    setObjectName(QStringLiteral("channelReportDialog"));
    setWindowTitle(tr("Channel report"));

    name_ = lineEdit(this, "reportNameEdit", 1175, 50);
    filterSource_ = new QRadioButton(tr("Channel &filter"), this);
    filterSource_->setObjectName(QStringLiteral("filterRadio"));
    setControlId(filterSource_, 1190);
    filter_ = new QComboBox(this);
    filter_->setObjectName(QStringLiteral("filterCombo"));
    setControlId(filter_, 1176);
    organizeFilters_ = iconButton(this, "organizeFiltersButton", 1177, QStyle::SP_FileDialogDetailedView);
    organizeFilters_->setToolTip(tr("Organize channel filters"));
    itemsLabel_ = new QLabel(tr("&Items to include:"), this);
    itemsLabel_->setObjectName(QStringLiteral("itemsLabel"));
    setControlId(itemsLabel_, 1192);
    items_ = new QComboBox(this);
    items_->setObjectName(QStringLiteral("itemsCombo"));
    setControlId(items_, 1183);
    itemsLabel_->setBuddy(items_);
    workpadSource_ = new QRadioButton(tr("&Workpad"), this);
    workpadSource_->setObjectName(QStringLiteral("workpadRadio"));
    setControlId(workpadSource_, 1191);
    template_ = lineEdit(this, "templateEdit", 1180, 255);
    browseTemplate_ = iconButton(this, "templateBrowseButton", 1181, QStyle::SP_DirOpenIcon);
    output_ = lineEdit(this, "outputEdit", 1178, 255);
    browseOutput_ = iconButton(this, "outputBrowseButton", 1179, QStyle::SP_DirOpenIcon);
    showResults_ = new QCheckBox(tr("&Show results"), this);
    showResults_->setObjectName(QStringLiteral("showResultsCheck"));
    setControlId(showResults_, 1184);
    interval_ = new QComboBox(this);
    interval_->setObjectName(QStringLiteral("intervalCombo"));
    interval_->setEditable(true);
    interval_->setInsertPolicy(QComboBox::NoInsert);
    setControlId(interval_, 1185);
    ok_ = new QPushButton(tr("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    auto* help = new QPushButton(tr("Help"), this);
    help->setObjectName(QStringLiteral("helpButton"));

    auto* grid = new QGridLayout;
    auto* nameLabel = new QLabel(tr("Report &name:"), this);
    nameLabel->setBuddy(name_);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(name_, 0, 1, 1, 2);
    grid->addWidget(filterSource_, 1, 0);
    grid->addWidget(filter_, 1, 1);
    grid->addWidget(organizeFilters_, 1, 2);
    grid->addWidget(itemsLabel_, 2, 0, Qt::AlignRight);
    grid->addWidget(items_, 2, 1);
    grid->addWidget(workpadSource_, 3, 0);
    auto* templateLabel = new QLabel(tr("&Template file:"), this);
    templateLabel->setBuddy(template_);
    grid->addWidget(templateLabel, 4, 0);
    grid->addWidget(template_, 4, 1);
    grid->addWidget(browseTemplate_, 4, 2);
    auto* outputLabel = new QLabel(tr("&Output file:"), this);
    outputLabel->setBuddy(output_);
    grid->addWidget(outputLabel, 5, 0);
    grid->addWidget(output_, 5, 1);
    grid->addWidget(browseOutput_, 5, 2);
    grid->addWidget(showResults_, 6, 1);
    auto* intervalLabel = new QLabel(tr("&Auto-generate interval:"), this);
    intervalLabel->setBuddy(interval_);
    grid->addWidget(intervalLabel, 7, 0);
    grid->addWidget(interval_, 7, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    rememberPlacement(&placement);

    connect(filterSource_, &QRadioButton::clicked, this, &CChannelReportConfigDlg::enableFilterControls);
    connect(workpadSource_, &QRadioButton::clicked, this, &CChannelReportConfigDlg::enableFilterControls);
    connect(organizeFilters_, &QPushButton::clicked, this, &CChannelReportConfigDlg::onOrganizeFilters);
    connect(browseTemplate_, &QPushButton::clicked, this, &CChannelReportConfigDlg::onBrowseTemplate);
    connect(browseOutput_, &QPushButton::clicked, this, &CChannelReportConfigDlg::onBrowseOutput);
    connect(ok_, &QPushButton::clicked, this, &CChannelReportConfigDlg::onOk);
    connect(cancel_, &QPushButton::clicked, this, &CChannelReportConfigDlg::reject);
    connect(help, &QPushButton::clicked, this, [this] { showOrganizeHelp(this); });
}

void CChannelReportConfigDlg::initDialog() {
    items_->addItem(tr("All items"), ChannelReportConfig::AllItems);
    items_->addItem(tr("New items only"), ChannelReportConfig::NewItemsOnly);
    items_->addItem(tr("Unread items only"), ChannelReportConfig::UnreadItemsOnly);
    fillFilterList();
    for (const char* text : {"disabled", "hour", "2 hours", "3 hours", "6 hours", "12 hours", "day"})
        interval_->addItem(QString::fromLatin1(text));

    name_->setText(qs(report_.getReportName()));
    if (report_.getDataSource() == ChannelReportConfig::ReadMeListSource)
        workpadSource_->setChecked(true);
    else
        filterSource_->setChecked(true);
    selectFilter(qs(report_.getChannelFilterName()));
    items_->setCurrentIndex(items_->findData(report_.getFeedItemControl()));
    templatePath_ = report_.getTemplateFilename();
    outputPath_ = report_.getOutputFilename();
    template_->setText(qs(templatePath_));
    output_->setText(qs(outputPath_));
    showResults_->setChecked(report_.getShowResults());
    const int seconds = report_.getAutoUpdateInterval();
    interval_->setCurrentText(seconds <= 0 ? QStringLiteral("disabled") : qs(formatTimeInterval(seconds, true)));
    enableFilterControls();
}

void CChannelReportConfigDlg::onPostInitDialog() {
    if (name_->text().isEmpty())
        name_->setFocus();
    else if (report_.getDataSource() == ChannelReportConfig::ReadMeListSource)
        workpadSource_->setFocus();
    else
        filter_->setFocus();
    enableFilterControls();
}

void CChannelReportConfigDlg::fillFilterList() {
    filter_->clear();
    for (const ChannelFilter& filter : GlobalOptions::instance().ChannelFilters)
        filter_->addItem(qs(filter.getFilterName()));
}

void CChannelReportConfigDlg::selectFilter(const QString& name) {
    const std::string wanted = name.toStdString();
    for (int i = 0; i < filter_->count(); ++i) {
        if (compareNoCase(filter_->itemText(i).toStdString(), wanted) == 0) {
            filter_->setCurrentIndex(i);
            return;
        }
    }
    filter_->setCurrentIndex(-1);
}

void CChannelReportConfigDlg::enableFilterControls() {
    const bool on = filterSource_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(filter_), static_cast<QWidget*>(organizeFilters_),
                       static_cast<QWidget*>(itemsLabel_), static_cast<QWidget*>(items_)})
        w->setEnabled(on);
}

void CChannelReportConfigDlg::onOrganizeFilters() {
    const QString before = filter_->currentText();
    COrganizeChannelFiltersDlg organize(this);
    if (runModal(organize) != QDialog::Accepted) {
        filter_->setFocus();
        return;
    }
    fillFilterList();
    if (const ChannelFilter* chosen = organize.getSelectedFilter()) {
        selectFilter(qs(chosen->getFilterName()));
        filter_->setFocus();
    } else {
        selectFilter(before);
    }
}

void CChannelReportConfigDlg::onBrowseTemplate() {
    OpenFileBrowserDlg browser(
        this, tr("Channel report template"),
        {{tr("Template files (*.template)"), QStringLiteral("*.template")}, {tr("All files"), QStringLiteral("*.*")}},
        &templateDirectory);
    browser.setDefaultExtension(QStringLiteral("template"));
    browse(browser, templatePath_, template_, browseTemplate_);
}

void CChannelReportConfigDlg::onBrowseOutput() {
    SaveFileBrowserDlg browser(
        this, tr("Channel report file"),
        {{tr("Report files (*.html)"), QStringLiteral("*.html")}, {tr("All files"), QStringLiteral("*.*")}},
        &outputDirectory);
    browser.setDefaultExtension(QStringLiteral("html"));
    browse(browser, outputPath_, output_, browseOutput_);
}

void CChannelReportConfigDlg::browse(FileBrowserDlg& browser, std::string& copy, QLineEdit* box, QPushButton* button) {
    std::string path = copy;
    if (browser.browse(path)) {
        copy = path;
        box->setText(qs(path));
        box->setFocus();
    } else {
        button->setFocus();
    }
}

void CChannelReportConfigDlg::onOk() {
    templatePath_ = template_->text().toStdString();
    outputPath_ = output_->text().toStdString();
    if (!filterSource_->isChecked() && !workpadSource_->isChecked()) return;
    const int dataSource =
        workpadSource_->isChecked() ? ChannelReportConfig::ReadMeListSource : ChannelReportConfig::ChannelFilterSource;

    const std::string name = trimmed(name_->text());
    if (name.empty()) {
        showMessage(this, tr("Please enter a name for this report."));
        name_->setFocus();
        return;
    }
    const std::string filterName = trimmed(filter_->currentText());
    if (filterName.empty() && dataSource == ChannelReportConfig::ChannelFilterSource) {
        showMessage(this, tr("Please choose a filter that will determine which channels are included in this report."));
        filter_->setFocus();
        return;
    }
    const std::string templatePath = trimmed(template_->text());
    std::error_code error;
    if (!templatePath.empty() && !std::filesystem::is_regular_file(templatePath, error)) {
        showMessage(this, tr("Cannot find this template file: ") + qs(templatePath));
        template_->setFocus();
        return;
    }
    const std::string templateName = fileNameOf(templatePath);
    if (compareNoCase(templateName, "DefaultChannelSummary.template") == 0 &&
        CHintDlg("DefaultChannelSummaryReport", this).DoModal() != IDOK) {
        template_->setFocus();
        return;
    }
    if (dataSource == ChannelReportConfig::ReadMeListSource &&
        (compareNoCase(templateName, "MyBlogroll.template") == 0 ||
         compareNoCase(templateName, "ExportOpml.template") == 0) &&
        CHintDlg("WorkpadReport", this).DoModal() != IDOK) {
        template_->setFocus();
        return;
    }
    const std::string outputPath = trimmed(output_->text());
    if (outputPath.empty() && !showResults_->isChecked()) {
        showMessage(this, tr("If you do not want to see the report when it is generated, you must specify a file to "
                             "store the report in."));
        output_->setFocus();
        return;
    }
    const std::string intervalText = trimmed(interval_->currentText());
    int interval = 0;
    if (compareNoCase(intervalText, "disabled") != 0 && !parseTimeInterval(intervalText, interval)) {
        showMessage(this, tr("Invalid auto-generate interval."));
        interval_->setFocus();
        return;
    }
    if (interval > 0 && interval < 3600) {
        showMessage(this, tr("Reports cannot be generated more than once an hour."));
        interval_->setFocus();
        return;
    }
    if (interval > 0 && outputPath.empty()) {
        showMessage(this, tr("Auto-generated reports must have an output file specified."));
        output_->setFocus();
        return;
    }
    for (const std::string& other : otherNames_) {
        if (compareNoCase(other, name) != 0) continue;
        if (showMessage(this, tr("There is already a channel report with this name."), MessageButtons::OkCancel,
                        MessageIcon::Warning, IDCANCEL) != IDOK) {
            name_->setFocus();
            return;
        }
    }
    report_.setDataSource(dataSource);
    report_.setReportName(name);
    report_.setChannelFilterName(filterName);
    report_.setFeedItemControl(items_->currentIndex() >= 0 ? items_->currentData().toInt() : 0);
    report_.setTemplateFilename(templatePath);
    report_.setOutputFilename(outputPath);
    report_.setShowResults(showResults_->isChecked());
    report_.setAutoUpdateInterval(interval);
    accept();
}

}  // namespace dialogs
