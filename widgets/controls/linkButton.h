#pragma once
// A button that looks like a link and opens its address when clicked: the
// address is the prefix ("mailto:", "http://" ...) followed by the URL.
#include <QPushButton>
#include <QString>

class LinkButton : public QPushButton {
    Q_OBJECT
public:
    explicit LinkButton(QWidget* parent = nullptr);

    void setUrlPrefix(const QString& prefix) { prefix_ = prefix; }
    const QString& urlPrefix() const { return prefix_; }
    void setUrl(const QString& url) { url_ = url; }
    const QString& url() const { return url_; }
    // Fits the button to its text.
    void sizeToContent();

private:
    QString prefix_;
    QString url_;
};
