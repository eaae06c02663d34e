// What `provision` does for a whole organisation: each key's own random SO PIN, kept only sealed for a
// recovery certificate in the provisioning records; random user PINs handed over in PIN letters; and a
// record of every key provisioned, in a store that several stations may share.
#pragma once

#include "config/zarto_base_info.h"
#include "invocation.h"
#include "pin_escrow.h"
#include "pin_letter.h"
#include "record_book.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace cli {

class FleetProvisioning {
public:
    // The options `provision` takes for this.
    static const std::set<std::string>& options();
    static const std::set<std::string>& switches();

    // Reads the options, opens the record store and reads the recovery certificate before any key is
    // touched; nullptr when none of them was given.
    static std::unique_ptr<FleetProvisioning> from(Invocation& invocation);

    // Before `key` is formatted with `values`: gives `values` the key's random PINs and records the sealed
    // SO PIN. A Failure leaves the key untouched.
    void prepare(const FoundKey& key, TZartoBaseInfo& values);
    // After the key was provisioned (`error` empty) or failed: appends its outcome, with the certificates
    // now on the key when `imported`, and writes its PIN letter. The text of what could not be done, or
    // an empty text.
    QString finish(const FoundKey& key, bool formatted, bool imported, const QString& error);

private:
    FleetProvisioning() = default;
    std::vector<RecordedCertificate> certificatesOn(const FoundKey& key,
                                                    const platform::SecretBytes& userPin);

    std::unique_ptr<RecordBook> book_;
    std::unique_ptr<RecoveryCertificate> recovery_;
    bool randomUserPin_ = false;
    std::optional<QString> letterFolder_; // none: no PIN letters
    // What prepare() settled for each key, by slot.
    struct KeyPlan {
        ProvisioningRecord record;
        TZartoBaseInfo values;
    };
    std::map<int32_t, KeyPlan> keys_;
};

} // namespace cli
