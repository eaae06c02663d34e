// The PIN letter that hands a key with a random user PIN over to its owner: one small text file per key,
// SERIAL-pin-letter.txt in the folder of the run, readable by its owner only. An existing letter is never
// replaced, so a letter is checked for before the key gets a PIN nobody else knows.
#pragma once

#include "platform/secret_bytes.h"

#include <QString>
#include <string>

namespace cli {

class PinLetter {
public:
    PinLetter(const QString& folder, const std::string& serial);

    const QString& path() const { return path_; }
    // A Failure when a letter of that name is already there.
    void checkFree() const;
    // Writes the letter; a Failure when it cannot be written.
    void write(const QString& label, const platform::SecretBytes& userPin) const;

private:
    QString path_;
    QString serial_;
};

} // namespace cli
