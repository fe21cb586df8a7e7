#pragma once
// What the channel pages share: text conversions, the owner-drawn channel
// picture button that opens the home page, definition-file notes turned into
// lines, and the one directory the picture and sound browsers remember.
#include <string>

#include <QPushButton>
#include <QString>

class QFormLayout;
class QLabel;
class QPlainTextEdit;
class LinkButton;
class ParamsGrid;

namespace channels {
class Channel;
}

namespace dialogs {

inline QString qs(const std::string& text) { return QString::fromStdString(text); }
inline std::string ss(const QString& text) { return text.toStdString(); }

// Notes of definition files write their line breaks as the two characters
// "\n"; shown, each becomes a line break.
QString notesText(const std::string& notes);

// The channel's picture, fitted into the button's rectangle keeping its
// proportions, with a one-pixel black frame.
void drawChannelImage(QPainter& painter, const QRect& itemRect, channels::Channel* channel);
// Opens the channel's home page; nothing when it has none. With the debugging
// switch DisableInternet the address is shown in a message box instead.
void openChannelHomePage(channels::Channel* channel, QWidget* parent);

// Writes the channel's configuration sections into its file as one rewrite;
// throws std::runtime_error when the file can't be written.
void saveChannelConfig(channels::Channel& channel);

// What a plug-in or hook definition file says of itself: the rows
// "Author:", "Email:" (a mail link, disabled without an address) and the
// read-only "Notes:".
struct AuthorDetails {
    explicit AuthorDetails(QWidget* parent);
    void addRows(QFormLayout* form) const;
    void show(const std::string& authorName, const std::string& address, const std::string& mailSubject,
              const std::string& notes) const;

    QLabel* author;
    LinkButton* email;
    QPlainTextEdit* notes;
};

// A parameter grid named "paramsGrid".
ParamsGrid* makeParamsGrid(QWidget* parent);

// Button 201 of the configuration and details pages.
class ChannelImageButton : public QPushButton {
    Q_OBJECT

public:
    explicit ChannelImageButton(QWidget* parent = nullptr);
    void setChannel(channels::Channel* channel) { channel_ = channel; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    channels::Channel* channel_ = nullptr;
};

// The directory the new-item sound and channel picture browsers start in,
// remembered for the run (empty: the program directory).
std::string& rememberedMediaDirectory();

}  // namespace dialogs
