// 8-bit text of a secret (a PIN) on the Qt side of the program. Copies share one buffer; the last copy to go
// wipes it, and an assignment wipes the text it replaces.
#pragma once

#include "secure_wipe.h"

#include <QByteArray>
#include <utility>

namespace platform {

class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(QByteArray bytes) : bytes_(std::move(bytes)) {}
    SecretBytes(const SecretBytes& other) = default;
    SecretBytes(SecretBytes&& other) noexcept = default;
    SecretBytes& operator=(const SecretBytes& other) {
        if (this != &other) {
            secureWipe(bytes_);
            bytes_ = other.bytes_;
        }
        return *this;
    }
    SecretBytes& operator=(SecretBytes&& other) noexcept {
        if (this != &other) {
            secureWipe(bytes_);
            bytes_ = std::move(other.bytes_);
        }
        return *this;
    }
    ~SecretBytes() { secureWipe(bytes_); }

    // The text, NUL-terminated.
    const char* c_str() const { return bytes_.constData(); }
    const QByteArray& bytes() const { return bytes_; }
    qsizetype size() const { return bytes_.size(); }
    bool isEmpty() const { return bytes_.isEmpty(); }
    bool operator==(const SecretBytes& other) const { return bytes_ == other.bytes_; }

private:
    QByteArray bytes_;
};

} // namespace platform
