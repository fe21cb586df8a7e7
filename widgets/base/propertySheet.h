#pragma once
// Property sheets: a dialog with one tab per page and OK and Cancel. A page
// is initialised when it is first shown; leaving it asks onKillActive; OK
// asks the active page's onKillActive, then applies every page initialised so
// far, in page order, and stays open on the first page whose onApply refuses,
// with the focus where that page put it. Cancel tells every initialised page.
#include <vector>

#include <QString>
#include <QWidget>

#include "widgets/base/appDialog.h"

class QPushButton;
class QTabWidget;

namespace dialogs {

class PropertySheet;

class PropertyPage : public QWidget {
    Q_OBJECT

public:
    // The page's tab caption is its window title.
    explicit PropertyPage(QWidget* parent = nullptr);

    // Each time the page becomes the active one; false keeps the previous page.
    virtual bool onSetActive() { return true; }
    // Before another page becomes active and before the sheet applies; false
    // keeps this page active (it has shown its message and set the focus).
    virtual bool onKillActive() { return true; }
    // On OK; false keeps the sheet open on this page.
    virtual bool onApply() { return true; }
    // When the sheet is cancelled.
    virtual void onCancel() {}

    bool isInitialised() const { return initialised_; }
    PropertySheet* sheet() const { return sheet_; }

protected:
    // Once, when the page is first shown.
    virtual void initDialog() {}
    // Queued once the page has been shown for the first time.
    virtual void onPostInitDialog() {}

private:
    friend class PropertySheet;
    void initialiseOnce();

    PropertySheet* sheet_ = nullptr;
    bool initialised_ = false;
};

class PropertySheet : public AppDialog {
    Q_OBJECT

public:
    PropertySheet(const QString& caption, QWidget* parent, int firstPage);

    // Pages are added before the sheet is shown; the sheet takes ownership.
    void addPage(PropertyPage* page);
    int pageCount() const { return static_cast<int>(pages_.size()); }
    PropertyPage* page(int index) const;
    PropertyPage* activePage() const;
    int activeIndex() const;
    // Before the sheet is shown: the page shown first. Afterwards: switches
    // page as a click on its tab does.
    bool setActivePage(int index);
    bool setActivePage(PropertyPage* page);

    QTabWidget* tabWidget() const { return tabs_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    void reject() override;

    // Enter presses the sheet's default button whatever control under `root`
    // has the focus (multi-line text keeps its own Enter). Runs over the whole
    // sheet when it is first shown and over each page once it is initialised;
    // a page that adds push buttons later calls it for them.
    void keepEnterForDefault(QWidget* root);

protected:
    void initDialog() override;
    // OK: validates and applies as described above; accepts when all agree.
    virtual void onOk();

private:
    void onTabChanged(int index);
    void switchTo(int index, bool askCurrent);

    QTabWidget* tabs_;
    QPushButton* ok_;
    QPushButton* cancel_;
    std::vector<PropertyPage*> pages_;
    int firstPage_;
    int current_ = -1;
    bool switching_ = false;
};

// Base of the program's pages and sheets.
class CAppPropertyPage : public PropertyPage {
    Q_OBJECT

public:
    explicit CAppPropertyPage(QWidget* parent = nullptr) : PropertyPage(parent) {}
};

class CAppPropertySheet : public PropertySheet {
    Q_OBJECT

public:
    CAppPropertySheet(const QString& caption, QWidget* parent, int firstPage)
        : PropertySheet(caption, parent, firstPage) {}
};

}  // namespace dialogs
