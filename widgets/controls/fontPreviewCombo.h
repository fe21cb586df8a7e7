#pragma once
// A combo box of the installed font families, each item showing its name
// and a sample text drawn in the font (or as the preview style says). A
// stored font name that is not installed is kept: it is listed as it is,
// selected, and read back unchanged until the user picks another.
#include <QComboBox>
#include <QString>

namespace ui {

class CFontPreviewCombo : public QComboBox {
    Q_OBJECT

public:
    // What an item shows.
    enum PreviewStyle {
        NameInFont = 0,      // the name, in the font itself
        NameOnly = 1,        // the name, in the list's own font
        NameThenSample = 2,  // the name, then the sample in the font
        SampleThenName = 3,  // the sample in the font, then the name
        SampleOnly = 4,      // the sample only
    };

    explicit CFontPreviewCombo(QWidget* parent = nullptr);

    void setSampleText(const QString& text) { sampleText_ = text; }
    QString sampleText() const { return sampleText_; }
    void setPreviewStyle(int style) { style_ = style; }
    int previewStyle() const { return style_; }
    void setPreviewHeight(int pixels) { previewHeight_ = pixels; }
    int previewHeight() const { return previewHeight_; }

    // Lists the installed font families and selects the first.
    void fillFontList();
    // Selects the family of that name (letter case aside). A name the list
    // does not hold is added, marked as not installed, and selected, so that
    // fontName() gives it back as it was.
    void selectFontName(const QString& name);
    // The family shown.
    QString fontName() const { return currentText(); }
    // Whether the item is a family the list found installed.
    bool isInstalled(int index) const;

    void showPopup() override;

private:
    friend class FontPreviewDelegate;
    QString sampleText_ = QStringLiteral("abcdeABCDE");
    int style_ = NameThenSample;
    int previewHeight_ = 16;
};

}  // namespace ui
