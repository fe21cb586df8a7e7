#pragma once
// Base of the program's dialogs. Work that needs the filled controls runs in
// initDialog, once, just before the dialog is first shown; work that needs the
// dialog on screen (focus, a first-time hint) runs in onPostInitDialog, which
// initDialog's caller queues to the dialog itself ("PostInitDialog").
#include <QDialog>
#include <QSize>

namespace dialogs {

class SaveWindowPlacement;

class AppDialog : public QDialog {
    Q_OBJECT

public:
    explicit AppDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    void setVisible(bool visible) override;
    void done(int result) override;

    // The window size recorded when the dialog was first shown (the minimum
    // size of a resizable dialog); invalid before.
    QSize initialSize() const { return initialSize_; }

protected:
    virtual void initDialog() {}
    virtual void onPostInitDialog() {}

    // The placement is restored before the first show and saved whenever the
    // dialog ends (OK or Cancel). `placement` is a static of the dialog's class.
    void rememberPlacement(SaveWindowPlacement* placement) { placement_ = placement; }
    // A sizing border and a maximise box; the size the dialog has when it is
    // first shown becomes its minimum size.
    void makeResizable();

private:
    bool initialised_ = false;
    bool resizable_ = false;
    SaveWindowPlacement* placement_ = nullptr;
    QSize initialSize_;
};

}  // namespace dialogs
