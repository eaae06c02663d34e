#include "output_buffer.h"

#include "module_error.h"

namespace quillard::module {

OutputBuffer::OutputBuffer(CK_BYTE* data, CK_ULONG* length) : data_(data), length_(length) {
    if (!length)
        fail(CKR_ARGUMENTS_BAD);
}

bool OutputBuffer::onlyMeasures(std::size_t size) const {
    return !data_ || *length_ < size;
}

CK_RV OutputBuffer::measure(std::size_t size) const {
    const bool tooSmall = data_ && *length_ < size;
    *length_ = size;
    return tooSmall ? CKR_BUFFER_TOO_SMALL : CKR_OK;
}

} // namespace quillard::module
