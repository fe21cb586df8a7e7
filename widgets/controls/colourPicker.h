#pragma once
// A button that shows a colour and, when clicked, opens a pop-up grid of 40
// named colours with an optional "Automatic" button above the grid and an
// optional "More Colours..." button below it that opens the colour dialog.
// Colours are 0x00BBGGRR values as the options store them; kColourDefault
// stands for the automatic colour.
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

namespace ui {

using ColourRef = quint32;
constexpr ColourRef kColourDefault = 0xFF000000u;

QColor colourFromRef(ColourRef colour);
ColourRef refFromColour(const QColor& colour);

struct NamedColour {
    const char* name;
    ColourRef colour;
};
// The pop-up's 40 colours, row by row, 8 to a row.
extern const NamedColour kPopupColours[40];

class CColourPopup;

class CColourPicker : public QPushButton {
    Q_OBJECT

public:
    explicit CColourPicker(QWidget* parent = nullptr);
    ~CColourPicker() override;

    // The text colour in selection mode 1, else the background colour.
    ColourRef getColour() const;
    void setColour(ColourRef colour);
    ColourRef getBackgroundColour() const { return background_; }
    ColourRef getTextColour() const { return text_; }
    void setSelectionMode(int mode) { selectionMode_ = mode; }
    void setTrackSelection(bool track) { trackSelection_ = track; }
    // Captions of the pop-up's buttons; an empty text means no such button.
    void setDefaultText(const QString& text) { defaultText_ = text; }
    void setCustomText(const QString& text) { customText_ = text; }
    QString defaultText() const { return defaultText_; }
    QString customText() const { return customText_; }

    // The pop-up while it is open, else null.
    CColourPopup* popup() const { return popup_; }
    void openPopup();

    QSize sizeHint() const override;

signals:
    // Each carries the colour; the same notifications the pop-up gives.
    void selectionChanged(ColourRef colour);
    void droppedDown(ColourRef colour);
    void closedUp(ColourRef colour);
    void selectionEnded(ColourRef colour);
    void selectionCancelled(ColourRef colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class CColourPopup;
    void onPopupTracked(ColourRef colour);
    void onPopupEnded(ColourRef colour, bool chosen);

    bool popupOpen_ = false;
    bool trackSelection_ = false;
    ColourRef background_;
    ColourRef text_;
    int selectionMode_ = 2;
    QString defaultText_ = QStringLiteral("Automatic");
    QString customText_ = QStringLiteral("More Colours...");
    QPointer<CColourPopup> popup_;
};

class CColourPopup : public QWidget {
    Q_OBJECT

public:
    // Cell numbers besides the colours' 0..39.
    enum { NoCell = -1, CustomCell = -2, DefaultCell = -3 };

    CColourPopup(const QPoint& position, ColourRef initial, CColourPicker* picker, const QString& defaultText,
                 const QString& customText);
    ~CColourPopup() override;

    int currentCell() const { return current_; }
    int initialCell() const { return initial_; }
    ColourRef chosenColour() const { return chosen_; }
    // In the pop-up's coordinates.
    QRect cellRect(int cell) const;

    // Ends the pop-up with a choice of the current cell, or a cancel.
    void endSelection(bool choose);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void layoutCells();
    int cellAt(const QPoint& point) const;
    void select(int cell);
    int lastColour() const { return kCount - 1; }
    int firstExtra(bool customFirst) const;

    static constexpr int kCount = 40;
    static constexpr int kColumns = 8;
    static constexpr int kRows = 5;
    int box_ = 18;
    int margin_ = 2;
    int current_ = NoCell;
    int initial_ = NoCell;
    QString defaultText_;
    QString customText_;
    QRect defaultRect_;
    QRect customRect_;
    ColourRef initialColour_;
    ColourRef chosen_;
    QPointer<CColourPicker> picker_;
    bool ended_ = false;
    bool inColourDialog_ = false;
};

}  // namespace ui
