#pragma once
// The options sheet's "Advanced" page: the local plug-in server's port, the
// time-out of scripts and plug-in programs, the proxy credential and the
// three subscription listeners. OK checks and stores them; the sheet's
// GlobalOptionsChanged then puts them into effect (the main frame's
// applyGlobalOptions).
#include <memory>

#include "widgets/base/propertySheet.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tools {
class HttpAuth;
}

namespace dialogs {

class CAdvancedOptionsPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CAdvancedOptionsPropPage(QWidget* parent = nullptr);
    ~CAdvancedOptionsPropPage() override;

    bool onApply() override;

    // The page's working copy of the proxy credential (null: none).
    const tools::HttpAuth* workingProxyAuth() const { return proxyAuth_.get(); }

protected:
    void initDialog() override;

private:
    void onProxyAuthentication();
    void onPortEdited();

    QLineEdit* port_;
    QLineEdit* scriptTimeout_;
    QCheckBox* listenPort8888_;
    QCheckBox* listenPort8900_;
    QCheckBox* listenPort5335_;
    QPushButton* proxyButton_;

    std::unique_ptr<tools::HttpAuth> proxyAuth_;
    bool portHintShown_ = false;
    bool loading_ = false;
};

}  // namespace dialogs
