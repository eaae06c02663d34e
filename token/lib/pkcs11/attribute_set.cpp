#include "attribute_set.h"

namespace quillard::pkcs11 {

AttributeSet& AttributeSet::add(CK_ATTRIBUTE_TYPE type, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    SecureBytes& value = values_.emplace_back(bytes, bytes + size);
    attributes_.push_back(
        {type, value.empty() ? nullptr : value.data(), static_cast<CK_ULONG>(value.size())});
    return *this;
}

AttributeSet& AttributeSet::addFlag(CK_ATTRIBUTE_TYPE type, bool value) {
    const CK_BBOOL flag = value ? CK_TRUE : CK_FALSE;
    return add(type, &flag, sizeof flag);
}

AttributeSet& AttributeSet::addNumber(CK_ATTRIBUTE_TYPE type, CK_ULONG value) {
    return add(type, &value, sizeof value);
}

} // namespace quillard::pkcs11
