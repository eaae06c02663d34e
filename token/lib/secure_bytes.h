// Byte and text buffers for secrets (PINs, passwords, private keys) that wipe their storage when released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillard {

// Overwrites memory in a way the compiler may not optimise away.
void wipeMemory(void* data, std::size_t size);

template <typename T> struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template <typename U> WipingAllocator(const WipingAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) {
        wipeMemory(p, n * sizeof(T));
        ::operator delete(p);
    }
    template <typename U> bool operator==(const WipingAllocator<U>&) const { return true; }
};

using SecureBytes = std::vector<uint8_t, WipingAllocator<uint8_t>>;

// Text of a secret. Kept in heap storage without a small-string buffer, so every byte it ever held is wiped.
class SecureString {
public:
    SecureString() { bytes_.push_back('\0'); }
    SecureString(const char* text) : SecureString(text, text ? std::char_traits<char>::length(text) : 0) {}
    SecureString(const char* text, std::size_t size) {
        bytes_.reserve(size + 1);
        bytes_.insert(bytes_.end(), text, text + size);
        bytes_.push_back('\0');
    }
    const char* c_str() const { return reinterpret_cast<const char*>(bytes_.data()); }
    std::size_t size() const { return bytes_.size() - 1; }
    bool empty() const { return size() == 0; }
    std::string_view view() const { return {c_str(), size()}; }
    bool operator==(const SecureString& other) const { return view() == other.view(); }

private:
    SecureBytes bytes_;
};

} // namespace quillard
