#include "dialogs/small/aboutSheet.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/core/programPaths.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"

namespace dialogs {

namespace {

QString link(const QString& address) { return QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()); }

QLabel* linkLabel(QWidget* parent, const char* name, int id) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    setControlId(label, id);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setOpenExternalLinks(true);
    return label;
}

void focusSheetButton(PropertyPage* page) {
    if (PropertySheet* sheet = page->sheet()) sheet->cancelButton()->setFocus(Qt::OtherFocusReason);
}

}  // namespace

CAboutPropPage::CAboutPropPage(QWidget* parent) : PropertyPage(parent) {
    setWindowTitle(tr("About"));
    auto* icon = new QLabel(this);
    setControlId(icon, 197);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("titleLabel"));
    setControlId(title_, 192);
    version_ = new QLabel(this);
    version_->setObjectName(QStringLiteral("versionLabel"));
    setControlId(version_, 193);
    headword_ = new QLabel(tr("orvan, n."), this);
    headword_->setObjectName(QStringLiteral("headwordLabel"));
    setControlId(headword_, 1055);
    definition_ =
        new QLabel(tr("A small lamp hung by the door, lit whenever word arrives from afar; hence, anything that "
                      "watches for news and tells the household."),
                   this);
    definition_->setObjectName(QStringLiteral("definitionLabel"));
    definition_->setWordWrap(true);
    // The wrapped definition keeps room for all its lines.
    definition_->setMinimumWidth(360);
    definition_->setMinimumHeight(definition_->heightForWidth(360));
    setControlId(definition_, 1056);
    homeLink_ = linkLabel(this, "homeLink", 195);
    forumsLink_ = linkLabel(this, "forumsLink", 198);

    auto* web = new QGroupBox(this);
    auto* webLayout = new QGridLayout(web);
    webLayout->addWidget(new QLabel(tr("Visit us on the web at"), web), 0, 0);
    webLayout->addWidget(homeLink_, 0, 1);
    webLayout->addWidget(new QLabel(tr("Participate at"), web), 1, 0);
    webLayout->addWidget(forumsLink_, 1, 1);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(title_, 0, 1);
    layout->addWidget(version_, 1, 1);
    layout->addWidget(headword_, 2, 1);
    layout->addWidget(definition_, 3, 1);
    layout->addWidget(web, 4, 0, 1, 2);
    layout->setRowStretch(5, 1);
}

void CAboutPropPage::initDialog() {
    const ProgramPaths& paths = programPaths();
    homeLink_->setText(link(QString::fromStdString(paths.appHomeUrl)));
    forumsLink_->setText(link(QString::fromStdString(paths.forumsUrl)));
    homeLink_->adjustSize();
    forumsLink_->adjustSize();

    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPointSize(20);
    title_->setFont(titleFont);
    title_->setText(applicationTitle());

    // The name's entry: the page's font in Times New Roman italics, 5/4 as high.
    QFont entry = font();
    entry.setFamily(QStringLiteral("Times New Roman"));
    if (entry.pixelSize() > 0)
        entry.setPixelSize(entry.pixelSize() * 5 / 4);
    else
        entry.setPointSize(entry.pointSize() * 5 / 4);
    entry.setItalic(true);
    entry.setWeight(QFont::Bold);
    headword_->setFont(entry);
    entry.setWeight(QFont::Normal);
    definition_->setFont(entry);

    version_->setText(QString::fromStdString(paths.versionString));
}

void CAboutPropPage::onPostInitDialog() { focusSheetButton(this); }

CCreditsPropPage::CCreditsPropPage(QWidget* parent) : PropertyPage(parent) {
    setWindowTitle(tr("Credits"));
    struct Credit {
        const char* text;
        const char* address;
        const char* name;
        int id;
    };
    static const Credit credits[] = {
        {"The windows are built with the Qt toolkit.", "https://www.qt.io/", "qtLink", 200},
        {"Feeds are downloaded with libcurl.", "https://curl.se/", "curlLink", 198},
        {"Feeds are read with the Expat XML parser.", "https://libexpat.github.io/", "expatLink", 199},
    };
    auto* layout = new QVBoxLayout(this);
    for (const Credit& credit : credits) {
        auto* text = new QLabel(tr(credit.text), this);
        QLabel* address = linkLabel(this, credit.name, credit.id);
        address->setText(link(QString::fromLatin1(credit.address)));
        address->adjustSize();
        layout->addWidget(text);
        layout->addWidget(address);
    }
    layout->addStretch(1);
}

void CCreditsPropPage::onPostInitDialog() { focusSheetButton(this); }

CAboutPropSheet::CAboutPropSheet(QWidget* parent, int firstPage)
    : PropertySheet(applicationTitle(), parent, firstPage) {
    setObjectName(QStringLiteral("aboutSheet"));
    addPage(new CAboutPropPage(this));
    addPage(new CCreditsPropPage(this));
}

int CAboutPropSheet::DoModal() { return runModal(*this) == QDialog::Accepted ? IDOK : IDCANCEL; }

void CAboutPropSheet::initDialog() {
    PropertySheet::initDialog();
    okButton()->hide();
    okButton()->setDefault(false);
    cancelButton()->setText(tr("OK"));
    cancelButton()->setDefault(true);
    cancelButton()->setAutoDefault(true);
}

}  // namespace dialogs
