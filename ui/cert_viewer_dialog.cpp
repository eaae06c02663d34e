#include "cert_viewer_dialog.h"

#include "apply_language.h"
#include "cert_health_context.h"
#include "i18n/health_texts.h"
#include "i18n/string_table.h"
#include "message_service.h"
#include "token/lib/quillard_errors.h"
#include "token/token_ops.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

using Field = CertViewerDialog::Field;

constexpr int kChinese = 2052;
constexpr int kDialogWidth = 640;
constexpr int kDialogHeight = 540;
// Bytes of a fingerprint on one line, so a SHA-256 fingerprint takes two lines.
constexpr int kFingerprintBytesPerLine = 16;
// Characters of a value that fit one line of the general tab.
constexpr int kLongValue = 64;

// A text the string table has no entry for, in the language of the loaded texts.
struct OwnText {
    const char* chinese;
    const char* english;
    QString text() const {
        return QString::fromUtf8(i18n::loadedLanguageId() == kChinese ? chinese : english);
    }
};

constexpr OwnText kTitle{"证书", "Certificate"};
constexpr OwnText kGeneralTab{"常规", "General"};
constexpr OwnText kDetailsTab{"详细信息", "Details"};
constexpr OwnText kPemTab{"PEM", "PEM"};
constexpr OwnText kCopyPem{"复制 PEM", "Copy PEM"};
constexpr OwnText kNone{"（无）", "(none)"};
constexpr OwnText kBits{"%1（%2 位）", "%1 (%2 bits)"};
constexpr OwnText kNotACertificate{"无法显示证书：数据不是有效的证书。",
                                   "The certificate cannot be shown: the data is not a valid certificate."};

// A row of the general tab: its caption from the string table where it has one, else the own text.
struct GeneralRow {
    Field field;
    const char* name; // object name of the value label
    const char* key;  // string table key, or nullptr
    OwnText own;
    QString caption() const { return (key ? i18n::text(key) : own.text()) + QLatin1Char(':'); }
};

constexpr GeneralRow kGeneralRows[] = {
    {Field::Subject, "valueSubject", nullptr, {"使用者", "Subject"}},
    {Field::Issuer, "valueIssuer", "K_Cert_issure", {}},
    {Field::Serial, "valueSerial", "K_Cert_Serial", {}},
    {Field::ValidFrom, "valueValidFrom", "K_Cert_begin", {}},
    {Field::ValidTo, "valueValidTo", "K_Cert_End", {}},
    {Field::PublicKey, "valuePublicKey", "K_RSA_Pub", {}},
    {Field::KeyUsage, "valueKeyUsage", nullptr, {"密钥用法", "Key Usage"}},
    {Field::ExtendedKeyUsage, "valueExtendedKeyUsage", nullptr, {"增强型密钥用法", "Extended Key Usage"}},
    {Field::Sha1, "valueSha1", nullptr, {"SHA-1 指纹", "SHA-1 Fingerprint"}},
    {Field::Sha256, "valueSha256", nullptr, {"SHA-256 指纹", "SHA-256 Fingerprint"}},
};

std::function<void(CertViewerDialog&)>& shownHook() {
    static std::function<void(CertViewerDialog&)> hook;
    return hook;
}

std::optional<QString> libraryText(const uint8_t* cert, int32_t length, int32_t field) {
    std::string text;
    if (token::helper_get_cert_text(cert, length, field, text) != 0)
        return std::nullopt;
    return QString::fromUtf8(text.data(), qsizetype(text.size())).trimmed();
}

// The library fields behind each shown field, in Field order; the public key combines two.
constexpr int32_t kLibraryFields[] = {QUILLARD_CERT_SUBJECT,   QUILLARD_CERT_ISSUER,
                                      QUILLARD_CERT_SERIAL,    QUILLARD_CERT_NOT_BEFORE,
                                      QUILLARD_CERT_NOT_AFTER, QUILLARD_CERT_KEY_BITS,
                                      QUILLARD_CERT_KEY_USAGE, QUILLARD_CERT_EXTENDED_KEY_USAGE,
                                      QUILLARD_CERT_SHA1,      QUILLARD_CERT_SHA256,
                                      QUILLARD_CERT_DETAILS,   QUILLARD_CERT_PEM};
static_assert(std::size(kLibraryFields) == CertViewerDialog::kFieldCount);

QString emptyAsNone(const QString& text) {
    return text.isEmpty() ? kNone.text() : text;
}

// A fingerprint broken into lines of kFingerprintBytesPerLine bytes.
QString fingerprintLines(QString text) {
    const int lineLength = kFingerprintBytesPerLine * 3;
    for (qsizetype colon = lineLength - 1; colon < text.size(); colon += lineLength)
        text[colon] = QLatin1Char('\n');
    return text;
}

// A long name or usage list one part a line, so the dialog keeps its width.
QString listLines(const QString& text) {
    if (text.size() <= kLongValue)
        return text;
    QString lines = text;
    return lines.replace(QStringLiteral(", "), QStringLiteral(",\n"));
}

QString shownValue(Field field, const QString& text) {
    if (field == Field::Sha1 || field == Field::Sha256)
        return fingerprintLines(text);
    return emptyAsNone(listLines(text));
}

QLabel* valueLabel(QWidget* parent, const char* name, const QString& text, bool monospace) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (monospace)
        label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return label;
}

} // namespace

std::optional<CertViewerDialog::Texts> CertViewerDialog::readTexts(const uint8_t* cert, int32_t length) {
    Texts texts;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const std::optional<QString> text = libraryText(cert, length, kLibraryFields[i]);
        if (!text)
            return std::nullopt;
        texts[i] = *text;
    }
    const std::optional<QString> algorithm = libraryText(cert, length, QUILLARD_CERT_KEY_ALGORITHM);
    if (!algorithm)
        return std::nullopt;
    QString& key = texts[std::size_t(Field::PublicKey)];
    key = kBits.text().arg(*algorithm, key);
    // The PEM text ends with its line break, which trimming took away.
    texts[std::size_t(Field::Pem)] += QLatin1Char('\n');
    return texts;
}

int32_t CertViewerDialog::showCertificate(QWidget* owner, const uint8_t* cert, int32_t length) {
    const std::optional<Texts> texts = readTexts(cert, length);
    if (!texts) {
        messageService().inform(owner, kNotACertificate.text());
        return QR_ARGUMENTS_BAD;
    }
    CertViewerDialog dialog(owner, *texts, readHealth(cert, length));
    if (!shownHook()) {
        dialog.exec();
        return 0;
    }
    dialog.show();
    shownHook()(dialog);
    dialog.close();
    return 0;
}

CertViewerDialog::HealthTexts CertViewerDialog::readHealth(const uint8_t* cert, int32_t length) {
    if (!cert || length <= 0)
        return {};
    const CertHealthContext& context = CertHealthContext::instance();
    const std::vector<uint8_t> der(cert, cert + length);
    const auto health =
        token::flows::judgeCertificate(der, token::flows::secondsNow(), context.warningDays());
    if (!health)
        return {};
    return {i18n::certificateHealthLines(*health).join(QStringLiteral(", ")),
            i18n::chainText(token::flows::checkChain(der, context.keyCertificates()))};
}

CertViewerDialog::CertViewerDialog(QWidget* owner, const Texts& texts, const HealthTexts& health)
    : QDialog(owner), texts_(texts), health_(health) {
    setObjectName(QStringLiteral("CertViewerDialog"));
    setModal(true);
    setFont(stringTableFont(font()));
    setWindowTitle(kTitle.text());
    resize(kDialogWidth, kDialogHeight);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->addTab(buildGeneralTab(), kGeneralTab.text());
    tabs_->addTab(buildTextTab("details", Field::Details, nullptr), kDetailsTab.text());
    auto* copy = new QPushButton(kCopyPem.text());
    copy->setObjectName(QStringLiteral("btnCopyPem"));
    copy->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, this, &CertViewerDialog::copyPem);
    tabs_->addTab(buildTextTab("pem", Field::Pem, copy), kPemTab.text());

    auto* close = new QPushButton(i18n::text("C_Btn_Confirm"));
    close->setObjectName(QStringLiteral("btnClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);
}

QWidget* CertViewerDialog::buildGeneralTab() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    for (const GeneralRow& row : kGeneralRows) {
        const bool fingerprint = row.field == Field::Sha1 || row.field == Field::Sha256;
        form->addRow(row.caption(),
                     valueLabel(page, row.name, shownValue(row.field, fieldText(row.field)), fingerprint));
    }
    addHealthRows(form, page);
    return page;
}

void CertViewerDialog::addHealthRows(QFormLayout* form, QWidget* page) {
    if (health_.status.isEmpty())
        return;
    form->addRow(i18n::text("K_Cert_Status") + QLatin1Char(':'),
                 valueLabel(page, "valueStatus", health_.status, false));
    form->addRow(i18n::text("K_Cert_Chain") + QLatin1Char(':'),
                 valueLabel(page, "valueChain", health_.chain, false));
}

QWidget* CertViewerDialog::buildTextTab(const char* name, Field field, QPushButton* extraButton) {
    auto* page = new QWidget;
    auto* text = new QPlainTextEdit(fieldText(field), page);
    text->setObjectName(QString::fromLatin1(name));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(text);
    if (extraButton) {
        auto* row = new QHBoxLayout;
        row->addWidget(extraButton);
        row->addStretch();
        layout->addLayout(row);
    }
    return page;
}

void CertViewerDialog::copyPem() {
    QGuiApplication::clipboard()->setText(fieldText(Field::Pem));
}

void CertViewerDialog::setShownHook(std::function<void(CertViewerDialog&)> hook) {
    shownHook() = std::move(hook);
}

namespace {

int32_t displayCertificate(void* owner, const uint8_t* cert, int32_t length, void*) {
    return CertViewerDialog::showCertificate(static_cast<QWidget*>(owner), cert, length);
}

} // namespace

void registerCertificateViewer() {
    token::set_cert_display_handler(&displayCertificate, nullptr);
}

} // namespace ui
