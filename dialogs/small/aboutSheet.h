#pragma once
// The about box: a sheet with an "About" page (title, version, the name's
// dictionary entry, links to the home page and the forums) and a "Credits"
// page. Its one visible button, labelled "OK", Enter and Escape close it.
#include "widgets/base/propertySheet.h"

class QLabel;

namespace dialogs {

class CAboutPropPage : public PropertyPage {
    Q_OBJECT

public:
    explicit CAboutPropPage(QWidget* parent = nullptr);

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    QLabel* title_;
    QLabel* version_;
    QLabel* homeLink_;
    QLabel* forumsLink_;
    QLabel* headword_;
    QLabel* definition_;
};

class CCreditsPropPage : public PropertyPage {
    Q_OBJECT

public:
    explicit CCreditsPropPage(QWidget* parent = nullptr);

protected:
    void onPostInitDialog() override;
};

class CAboutPropSheet : public PropertySheet {
    Q_OBJECT

public:
    explicit CAboutPropSheet(QWidget* parent = nullptr, int firstPage = 0);
    int DoModal();

protected:
    void initDialog() override;
};

}  // namespace dialogs
