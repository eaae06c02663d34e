// The characters of a secret being typed (a PIN field's real text), in UTF-16 storage that never leaves a
// copy behind: growing moves the text into a larger buffer and wipes the old one, removing wipes the
// characters it drops, and the destructor wipes everything.
#pragma once

#include "secret_bytes.h"

#include <QStringView>
#include <memory>

namespace platform {

class SecretText {
public:
    SecretText() = default;
    ~SecretText();
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;

    qsizetype size() const { return size_; }
    QStringView view() const { return {buffer_.get(), size_}; }

    // Inserts `text` at `position` (0..size()).
    void insert(qsizetype position, QStringView text);
    // Removes `count` characters from `position`, as far as there are any.
    void remove(qsizetype position, qsizetype count);
    void clear() { remove(0, size_); }
    // The text in the locale's 8-bit encoding, NUL-terminated, encoded straight into wiping storage.
    SecretBytes toLocal8Bit() const;

private:
    void reserve(qsizetype capacity);

    std::unique_ptr<char16_t[]> buffer_;
    qsizetype size_ = 0;
    qsizetype capacity_ = 0;
};

} // namespace platform
