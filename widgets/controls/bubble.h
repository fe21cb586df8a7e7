#pragma once
// A small tooltip-like pop-up: one or more lines of text in the tooltip
// colours, optionally with a 5-pixel checkered shadow on its right and
// bottom. The owner places it in screen coordinates, gives it a text and
// hides it again. A line that begins with a carriage return is drawn as a
// separator rule; a text with a line feed is left-aligned, one line centred.
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace ui {

class CBcgBubble : public QWidget {
    Q_OBJECT

public:
    CBcgBubble();
    ~CBcgBubble() override;

    // Makes the pop-up window, owned by `owner` (it goes with it).
    bool create(QWidget* owner, bool shadow);
    // Shows the text at the screen point (pulled back inside the screen, 20
    // pixels above its bottom); the same text at the same point does nothing.
    void show(int x, int y, const QString& text);
    void hide();

    const QString& currentText() const { return currentText_; }
    QPoint currentPosition() const { return currentPosition_; }
    const QStringList& lines() const { return lines_; }
    bool isCentred() const { return centred_; }
    // How many times the bubble has been repainted on a show (tests).
    int showCount() const { return showCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void layoutText(const QString& text);

    QStringList lines_;
    QString currentText_;
    QPoint currentPosition_;
    int lineHeight_ = 0;
    bool shadow_ = false;
    bool centred_ = true;
    int showCount_ = 0;
};

}  // namespace ui
