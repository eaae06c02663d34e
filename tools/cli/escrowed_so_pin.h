// The SO PIN a key got from a provisioning with escrow, taken from the records and opened with the recovery
// key of --recovery-key: a PEM file, whose pass phrase is asked for only when it is encrypted, or a PKCS#11
// URI of a private key on a token, whose user PIN is asked for.
#pragma once

#include "invocation.h"
#include "record_book.h"

namespace cli {

struct EscrowedSoPin {
    ProvisioningRecord record; // the record that holds it
    platform::SecretBytes soPin;
};

// A Failure when the records hold no SO PIN for `key` or the recovery key does not open it; nothing is
// changed on the key.
EscrowedSoPin openEscrowedSoPin(Invocation& invocation, RecordBook& book, const FoundKey& key);

} // namespace cli
