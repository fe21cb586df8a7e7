#pragma once
// Edits one channel report definition: where its channels come from (a
// channel filter or the Workpad), which items it takes, its template and
// output file, whether the result is shown, and how often it is generated
// by itself.
#include <string>
#include <vector>

#include "app/options/channelReportConfig.h"
#include "widgets/base/appDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace dialogs {

class FileBrowserDlg;
class SaveWindowPlacement;

class CChannelReportConfigDlg : public AppDialog {
    Q_OBJECT

public:
    // `otherNames`: the names of the other reports.
    CChannelReportConfigDlg(const ChannelReportConfig& report, const std::vector<std::string>& otherNames,
                            QWidget* parent = nullptr);

    // The edited definition (after OK).
    const ChannelReportConfig& getReportConfig() const { return report_; }

    void onOk();
    // The button beside the filter list: organizes the channel filters.
    void onOrganizeFilters();
    void onBrowseTemplate();
    void onBrowseOutput();

    static SaveWindowPlacement placement;
    // The folders the two browse buttons last chose (empty: the program folder).
    static std::string templateDirectory;
    static std::string outputDirectory;

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    // Browses from `copy` (the box's text as last taken); on success the path
    // goes into the copy and the box.
    void browse(FileBrowserDlg& browser, std::string& copy, QLineEdit* box, QPushButton* button);
    void fillFilterList();
    // Selects the filter of that name (any letter case), or none.
    void selectFilter(const QString& name);
    void enableFilterControls();

    ChannelReportConfig report_;
    std::vector<std::string> otherNames_;
    // The browse buttons start from these copies of the two boxes.
    std::string templatePath_;
    std::string outputPath_;

    QLineEdit* name_;
    QRadioButton* filterSource_;
    QComboBox* filter_;
    QPushButton* organizeFilters_;
    QLabel* itemsLabel_;
    QComboBox* items_;
    QRadioButton* workpadSource_;
    QLineEdit* template_;
    QPushButton* browseTemplate_;
    QLineEdit* output_;
    QPushButton* browseOutput_;
    QCheckBox* showResults_;
    QComboBox* interval_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace dialogs
