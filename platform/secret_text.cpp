#include "secret_text.h"

#include <QStringEncoder>
#include <algorithm>
#include <cstring>

namespace platform {

namespace {

constexpr qsizetype kFirstCapacity = 64;

void wipeUnits(char16_t* units, qsizetype count) {
    volatile char16_t* target = units;
    for (qsizetype i = 0; i < count; ++i)
        target[i] = 0;
}

} // namespace

SecretText::~SecretText() {
    wipeUnits(buffer_.get(), capacity_);
}

void SecretText::reserve(qsizetype capacity) {
    if (capacity <= capacity_)
        return;
    const qsizetype grown = std::max({capacity, capacity_ * 2, kFirstCapacity});
    auto larger = std::make_unique<char16_t[]>(static_cast<std::size_t>(grown));
    std::copy_n(buffer_.get(), size_, larger.get());
    wipeUnits(buffer_.get(), capacity_);
    buffer_ = std::move(larger);
    capacity_ = grown;
}

void SecretText::insert(qsizetype position, QStringView text) {
    if (text.isEmpty())
        return;
    position = std::clamp<qsizetype>(position, 0, size_);
    reserve(size_ + text.size());
    char16_t* at = buffer_.get() + position;
    std::memmove(at + text.size(), at, static_cast<std::size_t>(size_ - position) * sizeof(char16_t));
    std::copy_n(text.utf16(), text.size(), at);
    size_ += text.size();
}

void SecretText::remove(qsizetype position, qsizetype count) {
    position = std::clamp<qsizetype>(position, 0, size_);
    count = std::clamp<qsizetype>(count, 0, size_ - position);
    if (count == 0)
        return;
    char16_t* at = buffer_.get() + position;
    std::memmove(at, at + count, static_cast<std::size_t>(size_ - position - count) * sizeof(char16_t));
    size_ -= count;
    wipeUnits(buffer_.get() + size_, count);
}

SecretBytes SecretText::toLocal8Bit() const {
    QStringEncoder encoder(QStringConverter::System);
    QByteArray bytes(encoder.requiredSpace(size_), '\0');
    char* end = encoder.appendToBuffer(bytes.data(), view());
    bytes.truncate(end - bytes.data());
    return SecretBytes(std::move(bytes));
}

} // namespace platform
