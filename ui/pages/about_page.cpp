#include "about_page.h"

#include "platform/shell_open.h"
#include "ui/form_widgets.h"
#include "ui/link_label.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>

namespace ui {

namespace {

QFont addressFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    font.setUnderline(true);
    return font;
}

} // namespace

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet7"));
    label_language = makeLabel(this, "label_language", QRect(30, 30, 90, 22));
    cbLanguageID = new QComboBox(this);
    cbLanguageID->setObjectName(QStringLiteral("cbLanguageID"));
    cbLanguageID->setGeometry(130, 30, 150, 22);
    cbLanguageID->setEditable(false);
    Label17 = makeLabel(this, "Label17", QRect(30, 75, 90, 20));
    Label20 = makeAddressLabel("Label20", QRect(130, 75, 300, 20));
    Label18 = makeLabel(this, "Label18", QRect(30, 105, 90, 20));
    Label19 = makeAddressLabel("Label19", QRect(130, 105, 300, 20));
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(4, 140, 440, 2);
    Label15 = makeLabel(this, "Label15", QRect(4, 150, 440, 20), Qt::AlignCenter);
    lblProgramVersion = makeLabel(this, "lblProgramVersion", QRect(4, 175, 440, 20), Qt::AlignCenter);
    connect(Label20, &LinkLabel::clicked, this, &AboutPage::openWebAddress);
    connect(Label19, &LinkLabel::clicked, this, &AboutPage::openMailAddress);
}

LinkLabel* AboutPage::makeAddressLabel(const char* name, const QRect& geometry) {
    auto* label = new LinkLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setFont(addressFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    return label;
}

void AboutPage::openWebAddress() {
    const QString address = Label20->text();
    if (!platform::shellOpen(address))
        platform::openInBrowser(address);
}

void AboutPage::openMailAddress() {
    platform::shellOpen(QStringLiteral("mailto:") + Label19->text());
}

} // namespace ui
