#include "enrolment_ops.h"

#include "quillard_api.h"
#include "token/lib/quillard_errors.h"

#include <iterator>

namespace token {

namespace {

constexpr int32_t kKindRoom = 8;
constexpr int32_t kFirstDocumentRoom = 4096;
constexpr int32_t kContainerNameRoom = 256;

// Calls `fill(buffer, &length)` with room for `room` bytes, and once more with the room the library asks for
// when that was too little; `bytes` is sized to what it wrote.
template <typename Fill> int32_t readGrowing(std::vector<uint8_t>& bytes, int32_t room, Fill&& fill) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        bytes.resize(static_cast<std::size_t>(room));
        int32_t length = room;
        const int32_t result = fill(bytes.data(), &length);
        if (result == QR_BUFFER_TOO_SMALL && length > room) {
            room = length;
            continue;
        }
        bytes.resize(result == QR_OK ? static_cast<std::size_t>(length) : 0);
        return result;
    }
    bytes.clear();
    return QR_BUFFER_TOO_SMALL;
}

} // namespace

int32_t token_get_keygen_algorithms(int32_t idx, std::vector<KeyPairKind>& kinds) {
    int32_t algorithms[kKindRoom] = {}, bits[kKindRoom] = {}, count = kKindRoom;
    const int32_t result = quillardApi().token_get_keygen_algorithms(idx, algorithms, bits, &count);
    kinds.clear();
    if (result == QR_OK)
        for (int32_t i = 0; i < count && i < kKindRoom; ++i)
            kinds.push_back({algorithms[i], bits[i]});
    return result;
}

int32_t container_generate_keypair(int32_t idx, const std::string& container, int32_t spec,
                                   const KeyPairKind& kind) {
    return quillardApi().container_generate_keypair(idx, container.c_str(), spec, kind.algorithm, kind.bits);
}

int32_t container_sign_data(int32_t idx, const std::string& container, int32_t spec,
                            const std::vector<uint8_t>& data, std::vector<uint8_t>& signature) {
    return readGrowing(signature, 1024, [&](uint8_t* buffer, int32_t* length) {
        return quillardApi().container_sign_data(idx, container.c_str(), spec, data.data(),
                                                 static_cast<int32_t>(data.size()), buffer, length);
    });
}

int32_t container_build_request(int32_t idx, const std::string& container, int32_t spec,
                                const CertificateRequestFields& fields, bool selfSigned,
                                std::vector<uint8_t>& der) {
    const TCertRequest request{fields.subject.c_str(), fields.altNames.c_str(), fields.usage, fields.days};
    const auto build =
        selfSigned ? quillardApi().container_build_self_signed : quillardApi().container_build_request;
    return readGrowing(der, kFirstDocumentRoom, [&](uint8_t* buffer, int32_t* length) {
        return build(idx, container.c_str(), spec, &request, buffer, length);
    });
}

int32_t container_install_cert(int32_t idx, const std::vector<uint8_t>& certificate, std::string& container,
                               int32_t& spec) {
    char name[kContainerNameRoom] = {};
    const int32_t result = quillardApi().container_install_cert(
        idx, certificate.data(), static_cast<int32_t>(certificate.size()), name, kContainerNameRoom, &spec);
    if (result == QR_OK)
        container = name;
    return result;
}

int32_t container_public_key(int32_t idx, const std::string& container, int32_t spec, PublicKeyFacts& key) {
    return readGrowing(key.subjectPublicKeyInfo, 2048, [&](uint8_t* buffer, int32_t* length) {
        return quillardApi().container_get_pubkey(idx, container.c_str(), spec, &key.algorithm, &key.bits,
                                                  buffer, length);
    });
}

} // namespace token
