#pragma once
// Where a dialog was last left during this run. Each dialog class that
// remembers its placement owns one static instance; nothing is persisted, so
// every run starts with the one-third rule of positionDialog.
#include <QRect>
#include <Qt>

class QWidget;

namespace dialogs {

// Places the window at one third of its parent's width and height from the
// parent's top-left corner, keeping its size and keeping it inside the
// parent's work area (moved back from the right and bottom edges, never past
// the left and top ones). A null parent means the window's own parent; a
// window without one is placed over its screen's work area.
void positionDialog(QWidget* window, QWidget* parent = nullptr);

// The work area of the screen the window (or its parent) is on.
QRect workAreaOf(const QWidget* window);
// Keeps the window, frame included, inside its work area: shrunk to the work
// area when its minimum size allows, then moved back from the right and
// bottom edges and never past the left and top ones.
void fitIntoWorkArea(QWidget* window);
// Raises the window's minimum height to what its word-wrapped texts need at
// its minimum width, so that no size the user can give it clips them.
void keepRoomForWrappedText(QWidget* window);

class SaveWindowPlacement {
public:
    struct Placement {
        QRect normalGeometry;  // position and size when neither maximised nor minimised
        Qt::WindowStates state = Qt::WindowNoState;
    };

    SaveWindowPlacement() = default;
    virtual ~SaveWindowPlacement() = default;

    // The saved placement when there is one, else positionDialog.
    void restore(QWidget* window, QWidget* parent = nullptr) const;
    void save(const QWidget* window);

    Placement placement;
    bool saved = false;
};

}  // namespace dialogs
