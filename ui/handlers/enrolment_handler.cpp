#include "enrolment_handler.h"

#include "i18n/enrolment_texts.h"
#include "i18n/string_table.h"
#include "platform/owner_file.h"
#include "token/cert_presence.h"
#include "ui/handlers/rule_message.h"
#include "ui/key_operation_runner.h"
#include "ui/message_service.h"
#include "ui/pages/enrolment_page.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace ui {

namespace {

using token::flows::PlaceUse;

QString fieldText(const QLineEdit* edit) {
    return edit->text().trimmed();
}

} // namespace

EnrolmentHandler::EnrolmentHandler(EnrolmentPage& page, KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), runner_(runner) {
    setObjectName(QStringLiteral("enrolmentHandler"));
    connect(page_.btnEnrolRequest, &QPushButton::clicked, this, &EnrolmentHandler::makeRequest);
    connect(page_.btnEnrolSelfSigned, &QPushButton::clicked, this, &EnrolmentHandler::makeSelfSigned);
    connect(page_.cbEnrolPlace, &QComboBox::currentIndexChanged, this, &EnrolmentHandler::updateAlgorithms);
    connect(page_.cbEnrolSpec, &QComboBox::currentIndexChanged, this, &EnrolmentHandler::updateAlgorithms);
}

void EnrolmentHandler::showForKey(int32_t key) {
    key_ = key;
    runner_.run([key] { return token::flows::enrolmentChoices(key); },
                [this](token::flows::EnrolmentChoices choices) { showChoices(choices); });
}

void EnrolmentHandler::showChoices(const token::flows::EnrolmentChoices& choices) {
    choices_ = choices;
    QComboBox* places = page_.cbEnrolPlace;
    const QSignalBlocker blocker(places);
    places->clear();
    places->addItem(i18n::text("Enrol_NewContainer"));
    for (const token::flows::ContainerPlaces& container : choices_.containers)
        places->addItem(QString::fromLocal8Bit(container.container));
    places->setCurrentIndex(0);
    updateAlgorithms();
}

PlaceUse EnrolmentHandler::chosenPlaceUse() const {
    const int index = page_.cbEnrolPlace->currentIndex();
    if (index <= 0 || index > static_cast<int>(choices_.containers.size()))
        return PlaceUse::Free;
    return choices_.containers[static_cast<std::size_t>(index - 1)].of(page_.cbEnrolSpec->currentIndex() + 1);
}

void EnrolmentHandler::updateAlgorithms() {
    QComboBox* algorithms = page_.cbEnrolAlgorithm;
    algorithms->clear();
    page_.edtEnrolContainer->setEnabled(page_.cbEnrolPlace->currentIndex() <= 0);
    switch (chosenPlaceUse()) {
    case PlaceUse::Free:
        for (const token::KeyPairKind& kind : choices_.kinds)
            algorithms->addItem(QString::fromStdString(token::flows::keyKindCaption(kind)),
                                QString::fromStdString(token::flows::keyKindName(kind)));
        break;
    case PlaceUse::KeyPairOnly:
        algorithms->addItem(i18n::text("Enrol_PairThere"));
        break;
    case PlaceUse::Taken:
        break;
    }
    // A write-protected token takes no new key pair: the buttons say why they do nothing.
    const bool writeProtected = token::keyTable().hasFlag(key_, QUILLARD_TOKEN_WRITE_PROTECTED);
    const bool usable = algorithms->count() > 0 && !writeProtected;
    const QString why = writeProtected ? i18n::text("K_WriteProtected") : QString();
    for (QWidget* button :
         {static_cast<QWidget*>(page_.btnEnrolRequest), static_cast<QWidget*>(page_.btnEnrolSelfSigned)}) {
        button->setEnabled(usable);
        button->setToolTip(why);
    }
}

std::optional<token::flows::EnrolmentJob> EnrolmentHandler::jobFromPage(bool selfSigned) {
    token::flows::EnrolmentJob job;
    job.slot = key_;
    job.spec = page_.cbEnrolSpec->currentIndex() == 1 ? token::kSignatureSpec : token::kExchangeSpec;
    const bool newContainer = page_.cbEnrolPlace->currentIndex() <= 0;
    job.container = (newContainer ? fieldText(page_.edtEnrolContainer) : page_.cbEnrolPlace->currentText())
                        .toLocal8Bit()
                        .toStdString();
    if (job.container.empty()) {
        messageService().inform(page_.window(), i18n::text("Enrol_NameMissing"));
        return std::nullopt;
    }
    const PlaceUse use = newContainer ? PlaceUse::Free : chosenPlaceUse();
    if (use == PlaceUse::Taken) {
        messageService().inform(page_.window(), i18n::text("Enrol_PlaceTaken"));
        return std::nullopt;
    }
    if (use == PlaceUse::Free)
        job.generate =
            token::flows::parseKeyKind(page_.cbEnrolAlgorithm->currentData().toString().toStdString());
    job.fields.subject =
        token::flows::oneLineSubject({{"CN", fieldText(page_.edtEnrolCN).toStdString()},
                                      {"O", fieldText(page_.edtEnrolO).toStdString()},
                                      {"OU", fieldText(page_.edtEnrolOU).toStdString()},
                                      {"L", fieldText(page_.edtEnrolL).toStdString()},
                                      {"ST", fieldText(page_.edtEnrolST).toStdString()},
                                      {"C", fieldText(page_.edtEnrolC).toUpper().toStdString()},
                                      {"emailAddress", fieldText(page_.edtEnrolEmail).toStdString()}});
    const QString country = fieldText(page_.edtEnrolC);
    if (job.fields.subject.empty() || (!country.isEmpty() && country.size() != 2) ||
        (use == PlaceUse::Free && !job.generate)) {
        messageService().inform(page_.window(), i18n::text("Enrol_SubjectBad"));
        return std::nullopt;
    }
    job.fields.altNames = fieldText(page_.edtEnrolAltNames).toStdString();
    job.fields.usage = page_.cbEnrolUsage->currentIndex();
    job.fields.days = page_.seEnrolDays->value();
    job.selfSigned = selfSigned;
    job.installSelfSigned = selfSigned;
    return job;
}

void EnrolmentHandler::makeRequest() {
    std::optional<token::flows::EnrolmentJob> job = jobFromPage(false);
    if (!job)
        return;
    const QString path = messageService().saveFileName(
        page_.window(), FileDialogRequest{i18n::text("Enrol_btnRequest"),
                                          QStringLiteral("Certificate request|*.csr|PEM|*.pem|DER|*.der"),
                                          QStringLiteral("csr"), QString()});
    if (!path.isEmpty())
        start(*job, path);
}

void EnrolmentHandler::makeSelfSigned() {
    if (std::optional<token::flows::EnrolmentJob> job = jobFromPage(true))
        start(*job, QString());
}

void EnrolmentHandler::start(const token::flows::EnrolmentJob& job, const QString& path) {
    page_.showWorking(true);
    const int32_t key = job.slot;
    runner_.run([job] { return token::flows::runEnrolment(job); },
                [this, key, path](token::flows::EnrolmentOutcome outcome) { finish(key, outcome, path); });
}

void EnrolmentHandler::finish(int32_t key, const token::flows::EnrolmentOutcome& outcome,
                              const QString& path) {
    page_.showWorking(false);
    if (outcome.stage != token::flows::EnrolmentStage::Generate)
        emit certificatesChanged(key); // a pair was made, or a certificate stored
    if (outcome.code != 0)
        messageService().inform(page_.window(), ruleMessage(i18n::enrolmentFailure(outcome), outcome.code));
    else if (path.isEmpty())
        messageService().inform(page_.window(), i18n::text("Enrol_SelfSignedStored"));
    else
        saveRequest(outcome, path);
    if (key == key_)
        showForKey(key);
}

void EnrolmentHandler::saveRequest(const token::flows::EnrolmentOutcome& outcome, const QString& path) {
    const QByteArray bytes =
        path.endsWith(QStringLiteral(".der"), Qt::CaseInsensitive)
            ? QByteArray(reinterpret_cast<const char*>(outcome.document.data()),
                         static_cast<qsizetype>(outcome.document.size()))
            : QByteArray::fromStdString(token::flows::pemText(outcome.document, "CERTIFICATE REQUEST"));
    if (!platform::writeWholeFile(path, bytes)) {
        messageService().reportError(page_.window(), QStringLiteral("Unable to write to %1").arg(path));
        return;
    }
    messageService().inform(page_.window(), i18n::text("Enrol_RequestSaved"));
}

} // namespace ui
