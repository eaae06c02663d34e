#include "import_dialog.h"

#include "apply_language.h"
#include "form_widgets.h"
#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "message_service.h"
#include "pin_edit.h"
#include "token/flows/import_preparation.h"
#include "wait_cursor.h"

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QUuid>
#include <utility>

namespace ui {

namespace {

constexpr int kClientWidth = 374;
constexpr int kClientHeight = 387;
constexpr int kContainerNameMaxLength = 40;
// What the import takes: PKCS#12 files and X.509 certificates, DER or PEM.
const QString kCertificateFilter = QStringLiteral("Cert file|*.pfx;*.p12;*.cer;*.crt;*.pem");

std::function<void(TIMForm&)>& shownHook() {
    static std::function<void(TIMForm&)> hook;
    return hook;
}

template <typename Widget> Widget* place(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QPushButton* makeDialogButton(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* button = place(new QPushButton(text, parent), name, geometry);
    // Enter in a field must not press a button: OK closes only through its own checks.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void setBaseColour(QLineEdit* edit, QPalette::ColorRole role) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QApplication::palette(edit).color(role));
    edit->setPalette(palette);
}

bool carriesLocalFiles(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return false;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            return true;
    }
    return false;
}

} // namespace

bool isX509CertificateFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QString suffix = name.mid(dot);
    // Exactly these, as the file dialog's filter offers them; any other file is taken for PKCS#12.
    return suffix == QLatin1String(".cer") || suffix == QLatin1String(".crt") ||
           suffix == QLatin1String(".pem");
}

TIMForm::TIMForm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("TIMForm"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    buildControls();
    connectControls();
}

void TIMForm::buildControls() {
    GroupBox3 = place(new QGroupBox(QStringLiteral("选择要导入的证书(只支持PKCS#12 pfx格式证书)"), this),
                      "GroupBox3", QRect(8, 6, 358, 94));
    edtPath = place(new QLineEdit(GroupBox3), "edtPath", QRect(10, 24, 262, 22));
    edtPath->setReadOnly(true);
    edtPath->setFocusPolicy(Qt::NoFocus);
    setBaseColour(edtPath, QPalette::Button);
    btnpath = makeDialogButton(GroupBox3, "btnpath", QStringLiteral("浏\u3000览"), QRect(278, 23, 70, 25));
    Label2 = place(new QLabel(QStringLiteral("证书访问密码："), GroupBox3), "Label2", QRect(10, 60, 132, 22));
    edtpwd = place(new PinEdit(GroupBox3), "edtpwd", QRect(144, 60, 150, 22));
    maskEdit(edtpwd);
    Label1 = place(new QLabel(GroupBox3), "Label1", QRect(300, 60, 48, 22));

    GroupBox1 = place(new QGroupBox(QStringLiteral("选择容器"), this), "GroupBox1", QRect(8, 106, 358, 152));
    rb1 = place(new QRadioButton(QStringLiteral("新建容器："), GroupBox1), "rb1", QRect(10, 22, 180, 22));
    rb1->setChecked(true);
    btnRandom =
        makeDialogButton(GroupBox1, "btnRandom", QStringLiteral("随机生成容器名"), QRect(196, 21, 152, 25));
    edtContname = place(new QLineEdit(GroupBox1), "edtContname", QRect(28, 50, 320, 22));
    edtContname->setMaxLength(kContainerNameMaxLength);
    rb2 = place(new QRadioButton(QStringLiteral("使用已有容器："), GroupBox1), "rb2", QRect(10, 84, 330, 22));
    cbContName = place(new QComboBox(GroupBox1), "cbContName", QRect(28, 112, 320, 24));
    cbContName->setEditable(false);

    GroupBox2 = place(new QGroupBox(QStringLiteral("用途"), this), "GroupBox2", QRect(8, 264, 358, 78));
    rb3 = place(new QRadioButton(QStringLiteral("密钥交换(用于加密/解密及其它)"), GroupBox2), "rb3",
                QRect(10, 22, 340, 22));
    rb3->setChecked(true);
    rb4 = place(new QRadioButton(QStringLiteral("签名(用于签名/验证)"), GroupBox2), "rb4",
                QRect(10, 48, 340, 22));

    btnOK = makeDialogButton(this, "btnOK", QStringLiteral("确  定"), QRect(206, 352, 75, 25));
    btnNO = makeDialogButton(this, "btnNO", QStringLiteral("取  消"), QRect(291, 352, 75, 25));

    QWidget* tabOrder[] = {btnpath,    edtpwd, rb1, btnRandom, edtContname, rb2,
                           cbContName, rb3,    rb4, btnOK,     btnNO};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TIMForm::connectControls() {
    connect(btnpath, &QPushButton::clicked, this, &TIMForm::btnpathClick);
    connect(btnRandom, &QPushButton::clicked, this, &TIMForm::btnRandomClick);
    connect(btnOK, &QPushButton::clicked, this, &TIMForm::btnOKClick);
    connect(btnNO, &QPushButton::clicked, this, &QDialog::reject);
    connect(rb1, &QRadioButton::clicked, this, &TIMForm::rb1Click);
    connect(rb2, &QRadioButton::clicked, this, &TIMForm::rb2Click);
    connect(edtContname, &QLineEdit::textChanged, this,
            [this](const QString& text) { btnOK->setEnabled(!text.isEmpty()); });
    connect(edtpwd, &QLineEdit::textChanged, this, &TIMForm::showPasswordLength);
    edtpwd->installEventFilter(this);
}

void TIMForm::setShownHook(std::function<void(TIMForm&)> hook) {
    shownHook() = std::move(hook);
}

int TIMForm::exec() {
    applyTexts();
    // Shown again after a place that could not take the certificate, the dialog keeps what was entered.
    if (!std::exchange(shownBefore_, true))
        applyStartStates();
    if (QWidget* owner = parentWidget()) {
        const QRect ownerFrame = owner->window()->frameGeometry();
        move(ownerFrame.center() - QPoint(width() / 2, height() / 2));
    }
    if (!shownHook())
        return QDialog::exec();
    setResult(Rejected);
    show();
    shownHook()(*this);
    if (isVisible())
        hide();
    return result();
}

void TIMForm::applyTexts() {
    setFont(stringTableFont(font()));
    setWindowTitle(i18n::text("Main_Form_btn_Import"));
    GroupBox3->setTitle(i18n::text("Import_Form_GroupBox1"));
    GroupBox1->setTitle(i18n::text("Import_Form_GroupBox2"));
    GroupBox2->setTitle(i18n::text("Import_Form_GroupBox3"));
    btnpath->setText(i18n::text("Import_Form_Btn_Load"));
    Label2->setText(i18n::text("Import_Form_Lable_Pwd") + QLatin1Char(':'));
    rb1->setText(i18n::text("Import_Form_RBtn_New"));
    rb2->setText(i18n::text("Import_Form_RBtn_Old"));
    btnRandom->setText(i18n::text("Import_Form_Btn_Random"));
    rb3->setText(i18n::text("Import_Form_RBtn_CertMode1"));
    rb4->setText(i18n::text("Import_Form_RBtn_CertMode2"));
    btnOK->setText(i18n::text("C_Btn_Confirm"));
    btnNO->setText(i18n::text("C_Btn_Cancel"));
}

void TIMForm::applyStartStates() {
    btnOK->setEnabled(false);
    setPasswordEnabled(false);
    btnRandom->setEnabled(rb1->isChecked());
    edtPath->setAcceptDrops(true);
    edtPath->installEventFilter(this);
}

void TIMForm::setPasswordEnabled(bool enabled) {
    edtpwd->setEnabled(enabled);
    setBaseColour(edtpwd, enabled ? QPalette::Base : QPalette::Button);
}

void TIMForm::showPasswordLength() {
    Label1->setText(QString::number(edtpwd->text().size()));
}

void TIMForm::rb1Click() {
    const bool newContainer = rb1->isChecked();
    edtContname->setEnabled(newContainer);
    cbContName->setEnabled(!newContainer);
    btnOK->setEnabled(!edtContname->text().isEmpty());
    btnRandom->setEnabled(newContainer);
}

void TIMForm::rb2Click() {
    const bool existingContainer = rb2->isChecked();
    edtContname->setEnabled(!existingContainer);
    cbContName->setEnabled(existingContainer);
    btnOK->setEnabled(true);
}

void TIMForm::chooseFile(const QString& path) {
    edtPath->setText(QFileInfo(path).absoluteFilePath());
    if (isX509CertificateFile(path)) {
        setPasswordEnabled(false);
    } else {
        setPasswordEnabled(true);
        edtpwd->setFocus();
    }
    if (rb2->isChecked())
        btnOK->setEnabled(true);
}

void TIMForm::btnpathClick() {
    FileDialogRequest request;
    request.title = i18n::text("Main_Form_btn_Import");
    request.filter = kCertificateFilter;
    const QString path = messageService().openFileName(this, request);
    if (!path.isEmpty())
        chooseFile(path);
}

void TIMForm::btnRandomClick() {
    edtContname->setText(QUuid::createUuid().toString(QUuid::WithBraces).toUpper());
}

void TIMForm::btnOKClick() {
    if (!fileAccepted())
        return;
    if (rb1->isChecked() && edtContname->text().trimmed().isEmpty()) {
        messageService().inform(this, i18n::text("K_Cont_NullName"));
        return;
    }
    accept();
}

bool TIMForm::fileAccepted() {
    const QString path = edtPath->text();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        messageService().inform(this, i18n::text("I_SelectCert"));
        return false;
    }
    if (!isX509CertificateFile(path)) {
        importKind = 0;
        return pkcs12Accepted(path);
    }
    importKind = 1;
    btnOK->setEnabled(true);
    return true;
}

bool TIMForm::pkcs12Accepted(const QString& path) {
    token::flows::Pkcs12Check check;
    {
        const platform::SecretBytes password = pinBytes(*edtpwd);
        const std::string filePath = QFile::encodeName(path).toStdString();
        if (pkcs12Checker_) {
            check = pkcs12Checker_(filePath, password);
        } else {
            const WaitCursor hourglass;
            check = token::flows::checkPkcs12File(filePath, password.c_str());
        }
    }
    entryCount = check.entries;
    if (check.result == token::flows::ImportCheck::Ready)
        return true;
    messageService().inform(this, i18n::importCheckText(check.result, 0));
    if (check.result == token::flows::ImportCheck::PasswordRefused)
        edtpwd->setFocus();
    return false;
}

bool TIMForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtpwd) {
        if (event->type() == QEvent::FocusIn)
            showPasswordLength();
        else if (event->type() == QEvent::FocusOut)
            Label1->clear();
        return false;
    }
    if (watched == edtPath)
        return dropFiles(event);
    return QDialog::eventFilter(watched, event);
}

// A read-only edit refuses drops by itself, so the dialog accepts local files on its behalf, takes each
// existing one through the file-choice steps, and then still hands the event to the edit.
bool TIMForm::dropFiles(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const bool files = carriesLocalFiles(drop->mimeData());
    if (files && type == QEvent::Drop) {
        for (const QUrl& url : drop->mimeData()->urls()) {
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
                chooseFile(url.toLocalFile());
        }
    }
    static_cast<QObject*>(edtPath)->event(event);
    if (files)
        drop->acceptProposedAction();
    return true;
}

} // namespace ui
