#include "fleet_provisioning.h"

#include "certificate_text.h"
#include "cli_texts.h"
#include "failure.h"
#include "random_pin.h"
#include "token/flows/certificate_list.h"
#include "token/flows/format_block.h"
#include "token/flows/key_session.h"
#include "token/token_ops.h"
#include "tools/common/usage_error.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

// Random PIN lengths, brought within the settings' limits: long SO PINs, since nobody types them, and user
// PINs short enough to type from a letter.
constexpr int32_t kRandomSoPinLength = 16;
constexpr int32_t kRandomUserPinLength = 8;
constexpr int32_t kLongestPin = static_cast<int32_t>(token::flows::FormatBlock::kTextField);

} // namespace

const std::set<std::string>& FleetProvisioning::options() {
    static const std::set<std::string> names{"records", "escrow", "pin-letters"};
    return names;
}

const std::set<std::string>& FleetProvisioning::switches() {
    static const std::set<std::string> names{"random-so-pin", "random-user-pin", "no-pin-letters"};
    return names;
}

std::unique_ptr<FleetProvisioning> FleetProvisioning::from(Invocation& invocation) {
    tools::Arguments& arguments = invocation.arguments();
    const std::optional<std::string> escrow = arguments.text("escrow");
    const bool randomSoPin = arguments.has("random-so-pin");
    if (randomSoPin != escrow.has_value())
        throw tools::UsageError("--random-so-pin and --escrow CERTIFICATE go together");
    const bool randomUserPin = arguments.has("random-user-pin");
    if (!randomUserPin && (arguments.has("no-pin-letters") || arguments.text("pin-letters")))
        throw tools::UsageError("--pin-letters and --no-pin-letters go with --random-user-pin");
    if (arguments.has("no-pin-letters") && arguments.text("pin-letters"))
        throw tools::UsageError("--pin-letters and --no-pin-letters exclude each other");
    std::unique_ptr<FleetProvisioning> fleet(new FleetProvisioning);
    fleet->book_ = escrow ? RecordBook::required(invocation, "to keep the escrowed SO PINs")
                          : RecordBook::of(invocation);
    if (!fleet->book_ && !randomUserPin)
        return nullptr;
    if (escrow)
        fleet->recovery_ = std::make_unique<RecoveryCertificate>(QString::fromLocal8Bit(*escrow));
    fleet->randomUserPin_ = randomUserPin;
    if (randomUserPin && !arguments.has("no-pin-letters")) {
        const auto folder = arguments.text("pin-letters");
        fleet->letterFolder_ = folder ? QString::fromLocal8Bit(*folder) : QDir::currentPath();
        if (!QFileInfo(*fleet->letterFolder_).isDir())
            throw Failure(kFileProblem, text("FileUnwritable").arg(*fleet->letterFolder_));
    }
    return fleet;
}

void FleetProvisioning::prepare(const FoundKey& key, TZartoBaseInfo& values) {
    if (letterFolder_)
        PinLetter(*letterFolder_, key.serial).checkFree();
    if (randomUserPin_)
        values.default_upin =
            randomPin(kRandomUserPinLength, values.minUPINLen, values.maxUPINLen, kLongestPin);
    ProvisioningRecord record = newRecord(QStringLiteral("provision"), key, values.LabelName);
    record.settings = settingsRecord(values);
    record.settings.insert(QStringLiteral("randomSoPin"), recovery_ != nullptr);
    record.settings.insert(QStringLiteral("randomUserPin"), randomUserPin_);
    if (recovery_) {
        values.default_sopin =
            randomPin(kRandomSoPinLength, values.minSOPINLen, values.maxSOPINLen, kLongestPin);
        record.soPinEscrow = recovery_->seal(values.default_sopin);
        record.result = QStringLiteral("started");
        book_->store().append(record);
        record.soPinEscrow.clear();
    }
    keys_[key.slot] = {record, values};
}

QString FleetProvisioning::finish(const FoundKey& key, bool formatted, bool imported, const QString& error) {
    const auto planned = keys_.find(key.slot);
    if (planned == keys_.end())
        return {};
    KeyPlan plan = std::move(planned->second); // its PINs are wiped when it goes
    keys_.erase(planned);
    if (error.isEmpty() && imported)
        plan.record.certificates = certificatesOn(key, plan.values.default_upin);
    settleRecord(plan.record, error.isEmpty() ? nullptr : &error);
    if (formatted && !error.isEmpty())
        plan.record.result = QStringLiteral("incomplete");
    try {
        if (book_)
            book_->store().append(plan.record);
        if (formatted && letterFolder_)
            PinLetter(*letterFolder_, key.serial).write(plan.values.LabelName, plan.values.default_upin);
    } catch (const Failure& failure) {
        return failure.message();
    }
    return {};
}

std::vector<RecordedCertificate> FleetProvisioning::certificatesOn(const FoundKey& key,
                                                                   const platform::SecretBytes& userPin) {
    std::vector<RecordedCertificate> certificates;
    token::flows::logOutKey(key.slot);
    if (!token::flows::logInUser(key.slot, userPin.c_str()).succeeded())
        return certificates;
    token::flows::enterUserSession(key.slot);
    const token::flows::CertificateList list = token::flows::readCertificateList(key.slot);
    token::flows::logOutKey(key.slot);
    for (const token::flows::ContainerEntry& container : list.containers)
        for (const token::flows::ContainerCertificate& certificate : container.certificates)
            certificates.push_back(
                {normalFingerprint(certificateText(certificate.info, QUILLARD_CERT_SHA256)),
                 certificateText(certificate.info, QUILLARD_CERT_SUBJECT)});
    return certificates;
}

} // namespace cli
