#include "secure_wipe.h"

#include <cstddef>

namespace platform {

namespace {

// Writes through a volatile pointer so the compiler cannot drop the stores as dead.
void zeroMemory(void* data, std::size_t size) {
    volatile auto* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = 0;
}

} // namespace

void secureWipe(QString& text) {
    if (!text.isEmpty() && text.isDetached())
        zeroMemory(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    text.clear();
}

void secureWipe(QByteArray& bytes) {
    if (!bytes.isEmpty() && bytes.isDetached())
        zeroMemory(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes.clear();
}

} // namespace platform
