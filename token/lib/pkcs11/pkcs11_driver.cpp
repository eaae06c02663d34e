#include "pkcs11_driver.h"

#include "attribute_set.h"
#include "key_generation.h"
#include "key_objects.h"
#include "token/lib/key_description.h"
#include "token/lib/openssl_handles.h"
#include "token/lib/openssl_providers.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/utf8_text.h"
#include "token_text.h"

#include <openssl/rand.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace quillard::pkcs11 {

namespace {

constexpr std::size_t kLongestContainerName = 255;
constexpr std::size_t kLabelBytes = 32;

// A request the driver refuses before asking the module.
struct Refusal {
    Result code;
};

CK_USER_TYPE userTypeOf(PinKind kind) {
    return kind == PinKind::User ? CKU_USER : CKU_SO;
}

CK_UTF8CHAR* pinBytes(const SecureString& pin) {
    return reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin.c_str()));
}

// The PIN as a PKCS#11 call takes it: on a PIN-pad reader an empty one is no PIN (NULL), and the reader asks.
CK_UTF8CHAR* pinArgument(const SecureString& pin, bool onPad) {
    return onPad && pin.empty() ? nullptr : pinBytes(pin);
}

int32_t clampedCount(CK_ULONG value) {
    if (value == CK_UNAVAILABLE_INFORMATION || value == CK_EFFECTIVELY_INFINITE)
        return 0;
    return static_cast<int32_t>(std::min<CK_ULONG>(value, std::numeric_limits<int32_t>::max()));
}

// A memory figure of CK_TOKEN_INFO: unknown when the token does not tell it.
int32_t memoryAmount(CK_ULONG value) {
    return value == CK_UNAVAILABLE_INFORMATION ? QUILLARD_MEMORY_UNKNOWN : clampedCount(value);
}

int32_t versionNumber(const CK_VERSION& version) {
    return version.major * 256 + version.minor;
}

// The serial that names a token: its own, or the slot's for a token that has none yet.
std::string serialOf(const CK_TOKEN_INFO& info, CK_SLOT_ID slot) {
    std::string serial = paddedFieldText(info.serialNumber, sizeof info.serialNumber, 32);
    return serial.empty() ? "SLOT" + std::to_string(slot) : serial;
}

struct PinFlags {
    CK_FLAGS locked, finalTry;
};

PinFlags pinFlagsOf(PinKind kind) {
    return kind == PinKind::User ? PinFlags{CKF_USER_PIN_LOCKED, CKF_USER_PIN_FINAL_TRY}
                                 : PinFlags{CKF_SO_PIN_LOCKED, CKF_SO_PIN_FINAL_TRY};
}

// What the token flags say of the tries left: none when locked, one on the final try, otherwise unknown.
int32_t retriesFromFlags(CK_FLAGS flags, PinKind kind) {
    const PinFlags pin = pinFlagsOf(kind);
    if (flags & pin.locked)
        return 0;
    if (flags & pin.finalTry)
        return 1;
    return QUILLARD_RETRIES_UNKNOWN;
}

std::vector<uint8_t> publicKeyInfoOfCertificate(const std::vector<uint8_t>& certificateDer) {
    const unsigned char* cursor = certificateDer.data();
    X509Ptr certificate(
        decodeCertificateInLibraryContext(nullptr, &cursor, static_cast<long>(certificateDer.size())));
    if (!certificate)
        throw std::invalid_argument("the token's certificate does not parse");
    X509_PUBKEY* key = X509_get_X509_PUBKEY(certificate.get());
    int length = i2d_X509_PUBKEY(key, nullptr);
    if (length <= 0)
        throw std::invalid_argument("the token's certificate holds no usable key");
    std::vector<uint8_t> spki(static_cast<std::size_t>(length));
    unsigned char* out = spki.data();
    i2d_X509_PUBKEY(key, &out);
    return spki;
}

bool isPair(const SecureBytes& pkcs8, const std::vector<uint8_t>& spki) {
    EvpPkeyPtr privateKey = decodePrivateKey(pkcs8);
    EvpPkeyPtr publicKey = decodePublicKey(spki);
    return privateKey && publicKey && EVP_PKEY_eq(privateKey.get(), publicKey.get()) == 1;
}

} // namespace

Pkcs11Driver::Pkcs11Driver(std::unique_ptr<Pkcs11Module> module)
    : module_(std::move(module)), call_(module_->facts().name, module_->functions()) {}

Pkcs11Driver::~Pkcs11Driver() = default;

template <typename Work> Result Pkcs11Driver::onToken(int32_t idx, Work&& work) {
    if (idx < 0 || static_cast<std::size_t>(idx) >= tokens_.size())
        return QR_SLOT_ID_INVALID;
    Token& token = tokens_[idx];
    try {
        return work(token);
    } catch (const Refusal& refusal) {
        return refusal.code;
    } catch (const Pkcs11Failure& failure) {
        if (failure.result() == QR_DEVICE_REMOVED)
            closeSession(token);
        return failure.result();
    } catch (const std::invalid_argument&) {
        return QR_ARGUMENTS_BAD;
    } catch (const std::bad_alloc&) {
        return QR_HOST_MEMORY;
    }
}

std::vector<Pkcs11Driver::SlotToken> Pkcs11Driver::presentTokens() const {
    std::vector<CK_SLOT_ID> slots;
    CK_ULONG count = 0;
    CK_RV rv = CKR_BUFFER_TOO_SMALL;
    while (rv == CKR_BUFFER_TOO_SMALL) {
        call_("C_GetSlotList", &CK_FUNCTION_LIST::C_GetSlotList, CK_TRUE, nullptr, &count);
        slots.resize(count);
        rv = call_.attempt("C_GetSlotList", &CK_FUNCTION_LIST::C_GetSlotList, CK_TRUE, slots.data(), &count);
    }
    call_.check("C_GetSlotList", rv);
    slots.resize(count);
    std::vector<SlotToken> present;
    for (CK_SLOT_ID slot : slots) {
        CK_TOKEN_INFO info{};
        if (call_.attempt("C_GetTokenInfo", &CK_FUNCTION_LIST::C_GetTokenInfo, slot, &info) != CKR_OK)
            continue; // taken out between the two calls
        if (!(info.flags & CKF_TOKEN_INITIALIZED) && !module_->named())
            continue;
        std::string serial = serialOf(info, slot);
        const bool taken = std::any_of(present.begin(), present.end(),
                                       [&](const SlotToken& other) { return other.serial == serial; });
        present.push_back({slot, taken ? serial + "#" + std::to_string(slot) : serial});
    }
    return present;
}

Result Pkcs11Driver::find(std::vector<std::string>& serials) {
    try {
        std::vector<SlotToken> present = presentTokens();
        std::vector<Token> tokens;
        for (const SlotToken& found : present) {
            auto old = std::find_if(tokens_.begin(), tokens_.end(), [&](const Token& token) {
                return token.serial == found.serial && token.slot == found.slot;
            });
            if (old != tokens_.end()) {
                tokens.push_back(std::move(*old));
                tokens_.erase(old);
            } else {
                Token fresh;
                fresh.slot = found.slot;
                fresh.serial = found.serial;
                tokens.push_back(std::move(fresh));
            }
        }
        for (Token& gone : tokens_)
            closeSession(gone);
        tokens_ = std::move(tokens);
        lastPresence_ = std::move(present);
        serials.clear();
        for (const Token& token : tokens_)
            serials.push_back(token.serial);
        for (Token& token : tokens_)
            token.index.reset();
        return QR_OK;
    } catch (const Pkcs11Failure& failure) {
        return failure.result();
    }
}

Result Pkcs11Driver::presenceChanged(bool& changed) {
    try {
        std::vector<SlotToken> present = presentTokens();
        changed = present.size() != lastPresence_.size() ||
                  !std::equal(present.begin(), present.end(), lastPresence_.begin(),
                              [](const SlotToken& a, const SlotToken& b) {
                                  return a.slot == b.slot && a.serial == b.serial;
                              });
        return QR_OK;
    } catch (const Pkcs11Failure& failure) {
        return failure.result();
    }
}

CK_TOKEN_INFO Pkcs11Driver::tokenInfo(const Token& token) const {
    CK_TOKEN_INFO info{};
    call_("C_GetTokenInfo", &CK_FUNCTION_LIST::C_GetTokenInfo, token.slot, &info);
    if (serialOf(info, token.slot) != token.serial.substr(0, token.serial.find('#')))
        throw Pkcs11Failure(call_.module(), "C_GetTokenInfo", CKR_TOKEN_NOT_PRESENT); // another token
    return info;
}

CK_SESSION_HANDLE Pkcs11Driver::session(Token& token) {
    if (token.session != CK_INVALID_HANDLE)
        return token.session;
    CK_RV rv = call_.attempt("C_OpenSession", &CK_FUNCTION_LIST::C_OpenSession, token.slot,
                             CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &token.session);
    if (rv == CKR_TOKEN_WRITE_PROTECTED)
        rv = call_.attempt("C_OpenSession", &CK_FUNCTION_LIST::C_OpenSession, token.slot, CKF_SERIAL_SESSION,
                           nullptr, nullptr, &token.session);
    if (rv != CKR_OK) {
        token.session = CK_INVALID_HANDLE;
        call_.check("C_OpenSession", rv);
    }
    return token.session;
}

void Pkcs11Driver::closeSession(Token& token) {
    if (token.session != CK_INVALID_HANDLE)
        call_.attempt("C_CloseSession", &CK_FUNCTION_LIST::C_CloseSession, token.session);
    token.session = CK_INVALID_HANDLE;
    forgetLogin(token);
}

void Pkcs11Driver::forgetLogin(Token& token) {
    token.role.reset();
    token.soPin = SecureString();
    token.index.reset();
}

void Pkcs11Driver::requireUser(const Token& token) const {
    // A token that needs no login takes its writes without one.
    if (token.role != PinKind::User && (tokenInfo(token).flags & CKF_LOGIN_REQUIRED))
        throw Refusal{QR_USER_NOT_LOGGED_IN};
}

const ContainerIndex& Pkcs11Driver::index(Token& token) {
    if (!token.index)
        token.index = ContainerIndex::read(call_, session(token));
    return *token.index;
}

void Pkcs11Driver::requireContainerName(const std::string& name) {
    if (name.empty() || name.size() > kLongestContainerName || name.find('\0') != std::string::npos)
        throw Refusal{QR_ARGUMENTS_BAD};
}

void Pkcs11Driver::requireRoomForContainer(Token& token) {
    if (index(token).containers().size() >= kMostContainers)
        throw Refusal{QR_CONTAINER_LIMIT};
}

CK_RV Pkcs11Driver::tryLogin(Token& token, PinKind kind, const SecureString& pin) {
    if (token.role) {
        call_.attempt("C_Logout", &CK_FUNCTION_LIST::C_Logout, session(token));
        forgetLogin(token);
    }
    CK_RV rv = call_.attempt("C_Login", &CK_FUNCTION_LIST::C_Login, session(token), userTypeOf(kind),
                             pinArgument(pin, leftToPad(token, pin)), static_cast<CK_ULONG>(pin.size()));
    if (rv == CKR_USER_ALREADY_LOGGED_IN)
        rv = CKR_OK;
    if (rv == CKR_OK) {
        token.role = kind;
        token.index.reset();
        if (kind == PinKind::SecurityOfficer)
            token.soPin = pin;
    }
    return rv;
}

bool Pkcs11Driver::leftToPad(const Token& token, const SecureString& pin) const {
    // The token is asked only for an empty PIN: a typed one goes as it is.
    return pin.empty() && (tokenInfo(token).flags & CKF_PROTECTED_AUTHENTICATION_PATH);
}

template <typename Work>
void Pkcs11Driver::asRole(Token& token, PinKind kind, const SecureString& pin, Work&& work) {
    call_.check("C_Login", tryLogin(token, kind, pin));
    try {
        work();
    } catch (...) {
        call_.attempt("C_Logout", &CK_FUNCTION_LIST::C_Logout, session(token));
        forgetLogin(token);
        throw;
    }
    call_.attempt("C_Logout", &CK_FUNCTION_LIST::C_Logout, session(token));
    forgetLogin(token);
}

Result Pkcs11Driver::connect(int32_t idx) {
    return onToken(idx, [&](Token& token) {
        tokenInfo(token);
        return QR_OK;
    });
}

Result Pkcs11Driver::reloadObjects(int32_t idx) {
    return onToken(idx, [&](Token& token) {
        token.index.reset();
        tokenInfo(token);
        return QR_OK;
    });
}

Result Pkcs11Driver::getInfo(int32_t idx, KeyInfo& info) {
    return onToken(idx, [&](Token& token) {
        const CK_TOKEN_INFO facts = tokenInfo(token);
        info.serial = serialOf(facts, token.slot);
        info.label = paddedFieldText(facts.label, sizeof facts.label, kLabelBytes);
        info.manufacturer = paddedFieldText(facts.manufacturerID, sizeof facts.manufacturerID, 64);
        info.model = paddedFieldText(facts.model, sizeof facts.model, 64);
        info.maxPinLength = info.maxSoPinLength = clampedCount(facts.ulMaxPinLen);
        info.minPinLength = info.minSoPinLength = clampedCount(facts.ulMinPinLen);
        info.totalMemory = memoryAmount(facts.ulTotalPublicMemory);
        info.freeMemory = memoryAmount(facts.ulFreePublicMemory);
        info.hardwareVersion = versionNumber(facts.hardwareVersion);
        info.firmwareVersion = versionNumber(facts.firmwareVersion);
        info.initialised = (facts.flags & CKF_TOKEN_INITIALIZED) ? 1 : 0;
        return QR_OK;
    });
}

Result Pkcs11Driver::getPinState(int32_t idx, PinKind kind, PinState& state) {
    return onToken(idx, [&](Token& token) {
        const CK_TOKEN_INFO facts = tokenInfo(token);
        state.retriesLeft = retriesFromFlags(facts.flags, kind);
        state.maxRetries = QUILLARD_RETRIES_UNKNOWN;
        state.minLength = clampedCount(facts.ulMinPinLen);
        state.maxLength = clampedCount(facts.ulMaxPinLen);
        state.locked = (facts.flags & pinFlagsOf(kind).locked) ? 1 : 0;
        state.loggedIn = token.role == kind ? 1 : 0;
        const CK_FLAGS countLow = kind == PinKind::User ? CKF_USER_PIN_COUNT_LOW : CKF_SO_PIN_COUNT_LOW;
        state.countLow = (facts.flags & countLow) ? 1 : 0;
        return QR_OK;
    });
}

Result Pkcs11Driver::login(int32_t idx, PinKind kind, const SecureString& pin, int32_t& retriesLeft) {
    retriesLeft = QUILLARD_RETRIES_UNKNOWN;
    return onToken(idx, [&](Token& token) -> Result {
        CK_RV rv = tryLogin(token, kind, pin);
        if (rv == CKR_PIN_INCORRECT || rv == CKR_PIN_LOCKED)
            retriesLeft = retriesFromFlags(tokenInfo(token).flags, kind);
        if (rv == CKR_PIN_LOCKED)
            retriesLeft = 0;
        return resultOf(rv);
    });
}

Result Pkcs11Driver::logout(int32_t idx) {
    return onToken(idx, [&](Token& token) {
        if (token.role)
            call_.attempt("C_Logout", &CK_FUNCTION_LIST::C_Logout, session(token));
        forgetLogin(token);
        tokenInfo(token);
        return QR_OK;
    });
}

Result Pkcs11Driver::changePin(int32_t idx, PinKind kind, const SecureString& oldPin,
                               const SecureString& newPin) {
    return onToken(idx, [&](Token& token) {
        // Both PINs are given or both left to the pad (the library's entry refuses anything else).
        const bool onPad = leftToPad(token, oldPin);
        auto setPin = [&] {
            call_("C_SetPIN", &CK_FUNCTION_LIST::C_SetPIN, session(token), pinArgument(oldPin, onPad),
                  static_cast<CK_ULONG>(oldPin.size()), pinArgument(newPin, onPad),
                  static_cast<CK_ULONG>(newPin.size()));
        };
        if (token.role == kind) {
            setPin(); // the PIN of the one logged in
            if (kind == PinKind::SecurityOfficer)
                token.soPin = newPin;
        } else if (kind == PinKind::User) {
            if (token.role) {
                call_.attempt("C_Logout", &CK_FUNCTION_LIST::C_Logout, session(token));
                forgetLogin(token);
            }
            setPin(); // without a login, C_SetPIN changes the user PIN
        } else {
            asRole(token, kind, oldPin, setPin);
        }
        return QR_OK;
    });
}

Result Pkcs11Driver::unlockUserPin(int32_t idx, const SecureString& soPin, const SecureString& newUserPin) {
    return onToken(idx, [&](Token& token) {
        asRole(token, PinKind::SecurityOfficer, soPin, [&] {
            call_("C_InitPIN", &CK_FUNCTION_LIST::C_InitPIN, session(token),
                  pinArgument(newUserPin, leftToPad(token, newUserPin)),
                  static_cast<CK_ULONG>(newUserPin.size()));
        });
        return QR_OK;
    });
}

Result Pkcs11Driver::setLabel(int32_t idx, const std::string&) {
    // PKCS#11 sets a token's label only in C_InitToken, which erases the token.
    return onToken(idx, [](Token&) { return QR_FUNCTION_NOT_SUPPORTED; });
}

Result Pkcs11Driver::writeSectors(int32_t idx, uint32_t, uint32_t, const uint8_t*) {
    return onToken(idx, [](Token&) { return QR_FUNCTION_NOT_SUPPORTED; });
}

void Pkcs11Driver::initialiseToken(Token& token, const SecureString& soPin, const std::string& label,
                                   bool onPad) {
    CK_UTF8CHAR field[kLabelBytes];
    fillPaddedField(label, field, sizeof field);
    call_.attempt("C_CloseAllSessions", &CK_FUNCTION_LIST::C_CloseAllSessions, token.slot);
    token.session = CK_INVALID_HANDLE;
    forgetLogin(token);
    call_("C_InitToken", &CK_FUNCTION_LIST::C_InitToken, token.slot, pinArgument(soPin, onPad),
          static_cast<CK_ULONG>(soPin.size()), field);
    CK_TOKEN_INFO info{};
    call_("C_GetTokenInfo", &CK_FUNCTION_LIST::C_GetTokenInfo, token.slot, &info);
    token.serial = serialOf(info, token.slot); // a token initialised for the first time gets its serial now
}

Result Pkcs11Driver::format(int32_t idx, const FormatSettings& settings) {
    return onToken(idx, [&](Token& token) {
        // On a PIN-pad reader every PIN of the format is typed on the reader: the settings carry none.
        const CK_TOKEN_INFO info = tokenInfo(token);
        const bool onPad = info.flags & CKF_PROTECTED_AUTHENTICATION_PATH;
        const bool pinsGiven = !settings.soPin.empty() && !settings.userPin.empty();
        const bool pinsOnPad = onPad && settings.soPin.empty() && settings.userPin.empty();
        if (settings.label.size() >= kLabelBytes || !isWellFormedUtf8(settings.label) ||
            !(pinsGiven || pinsOnPad))
            throw Refusal{QR_ARGUMENTS_BAD};
        const bool initialised = info.flags & CKF_TOKEN_INITIALIZED;
        if (initialised && (token.role != PinKind::SecurityOfficer || (token.soPin.empty() && !pinsOnPad)))
            throw Refusal{QR_USER_NOT_LOGGED_IN};
        // C_InitToken takes the current SO PIN; a token never initialised takes the new one.
        const SecureString currentSoPin = initialised ? token.soPin : settings.soPin;
        initialiseToken(token, currentSoPin, settings.label, pinsOnPad);
        asRole(token, PinKind::SecurityOfficer, currentSoPin, [&] {
            if (!(settings.soPin == currentSoPin))
                call_("C_SetPIN", &CK_FUNCTION_LIST::C_SetPIN, session(token), pinBytes(currentSoPin),
                      static_cast<CK_ULONG>(currentSoPin.size()), pinBytes(settings.soPin),
                      static_cast<CK_ULONG>(settings.soPin.size()));
            call_("C_InitPIN", &CK_FUNCTION_LIST::C_InitPIN, session(token),
                  pinArgument(settings.userPin, pinsOnPad), static_cast<CK_ULONG>(settings.userPin.size()));
        });
        return QR_OK;
    });
}

Result Pkcs11Driver::listContainers(int32_t idx, std::vector<std::string>& names) {
    return onToken(idx, [&](Token& token) {
        names.clear();
        for (const ContainerObjects& container : index(token).containers())
            names.push_back(container.name);
        return QR_OK;
    });
}

void Pkcs11Driver::destroy(Token& token, CK_OBJECT_HANDLE object) {
    call_("C_DestroyObject", &CK_FUNCTION_LIST::C_DestroyObject, session(token), object);
}

std::vector<CK_OBJECT_HANDLE> Pkcs11Driver::createAll(Token& token, std::vector<AttributeSet>& templates) {
    std::vector<CK_OBJECT_HANDLE> created;
    try {
        for (AttributeSet& attributes : templates) {
            CK_OBJECT_HANDLE handle = CK_INVALID_HANDLE;
            call_("C_CreateObject", &CK_FUNCTION_LIST::C_CreateObject, session(token), attributes.data(),
                  attributes.size(), &handle);
            created.push_back(handle);
        }
    } catch (...) {
        for (auto handle = created.rbegin(); handle != created.rend(); ++handle)
            call_.attempt("C_DestroyObject", &CK_FUNCTION_LIST::C_DestroyObject, session(token), *handle);
        throw;
    }
    return created;
}

Result Pkcs11Driver::createContainer(int32_t idx, const std::string& name) {
    return onToken(idx, [&](Token& token) {
        requireUser(token);
        requireContainerName(name);
        if (index(token).find(name))
            throw Refusal{QR_CONTAINER_EXISTS};
        requireRoomForContainer(token);
        std::vector<AttributeSet> templates;
        templates.push_back(containerMarkTemplate(name));
        token.index.reset();
        createAll(token, templates);
        return QR_OK;
    });
}

Result Pkcs11Driver::deleteContainer(int32_t idx, const std::string& name) {
    return onToken(idx, [&](Token& token) {
        requireUser(token);
        const ContainerObjects* container = index(token).find(name);
        if (!container)
            throw Refusal{QR_CONTAINER_NOT_FOUND};
        const std::vector<CK_OBJECT_HANDLE> objects = container->all;
        token.index.reset();
        for (CK_OBJECT_HANDLE object : objects)
            destroy(token, object);
        return QR_OK;
    });
}

Result Pkcs11Driver::deleteCertificate(int32_t idx, const std::string& name, int32_t spec) {
    return onToken(idx, [&](Token& token) {
        requireUser(token);
        if (!index(token).find(name))
            throw Refusal{QR_CONTAINER_NOT_FOUND};
        const KeyPairObjects* pair = index(token).pair(name, spec);
        if (!pair || !pair->certificate)
            throw Refusal{QR_OBJECT_HANDLE_INVALID};
        const CK_OBJECT_HANDLE certificate = *pair->certificate;
        token.index.reset();
        destroy(token, certificate);
        return QR_OK;
    });
}

namespace {

// The pair `spec` of container `name`: QR_CONTAINER_NOT_FOUND without the container, QR_OBJECT_HANDLE_INVALID
// without the pair.
const KeyPairObjects& requirePair(const ContainerIndex& index, const std::string& name, int32_t spec) {
    if (!index.find(name))
        throw Refusal{QR_CONTAINER_NOT_FOUND};
    const KeyPairObjects* pair = index.pair(name, spec);
    if (!pair)
        throw Refusal{QR_OBJECT_HANDLE_INVALID};
    return *pair;
}

} // namespace

const std::vector<uint8_t>& Pkcs11Driver::certificateOf(Token& token, const KeyPairObjects& pair) {
    if (!pair.certificate)
        throw Refusal{QR_OBJECT_HANDLE_INVALID};
    if (!pair.certificateDer)
        pair.certificateDer = readAttribute(call_, session(token), *pair.certificate, CKA_VALUE);
    return *pair.certificateDer;
}

Result Pkcs11Driver::getCertificate(int32_t idx, const std::string& name, int32_t spec,
                                    std::vector<uint8_t>& der) {
    return onToken(idx, [&](Token& token) {
        const KeyPairObjects& pair = requirePair(index(token), name, spec);
        der = certificateOf(token, pair);
        return QR_OK;
    });
}

Result Pkcs11Driver::getPublicKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) {
    return onToken(idx, [&](Token& token) -> Result {
        const KeyPairObjects& pair = requirePair(index(token), name, spec);
        if (!pair.publicKeyDescription) {
            if (pair.publicKey) {
                pair.publicKeyDescription = describePublicKeyObject(call_, session(token), *pair.publicKey);
            } else {
                // A certificate without its public key object, as other tools may leave it.
                KeyDescription fromCertificate;
                Result result = describePublicKey(publicKeyInfoOfCertificate(certificateOf(token, pair)),
                                                  fromCertificate);
                if (result != QR_OK)
                    return result;
                pair.publicKeyDescription = std::move(fromCertificate);
            }
        }
        key = *pair.publicKeyDescription;
        return QR_OK;
    });
}

Result Pkcs11Driver::getPrivateKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) {
    return onToken(idx, [&](Token& token) {
        requireUser(token);
        const KeyPairObjects& pair = requirePair(index(token), name, spec);
        if (!pair.privateKey)
            throw Refusal{QR_OBJECT_HANDLE_INVALID};
        if (!pair.privateKeyDescription)
            pair.privateKeyDescription = describePrivateKeyObject(call_, session(token), *pair.privateKey);
        key = *pair.privateKeyDescription;
        return QR_OK;
    });
}

Result Pkcs11Driver::importCredential(int32_t idx, const std::string& name, int32_t spec,
                                      const Credential& credential) {
    return onToken(idx, [&](Token& token) {
        requireUser(token);
        if ((spec != 1 && spec != 2) || credential.certificateDer.empty())
            throw Refusal{QR_ARGUMENTS_BAD};
        // A new container needs no mark of its own: the objects stored under its name make it.
        if (!index(token).find(name)) {
            requireContainerName(name);
            requireRoomForContainer(token);
        }
        const std::vector<uint8_t>& spki = credential.publicKey.publicKeyDer;
        const bool withPrivateKey = !credential.privateKeyDer.empty();
        if (withPrivateKey && !isPair(credential.privateKeyDer, spki))
            throw Refusal{QR_ARGUMENTS_BAD};
        const std::vector<uint8_t> id = keyIdOf(spki);
        const bool exchange = spec == 1;
        std::vector<AttributeSet> templates;
        templates.push_back(certificateTemplate(name, id, credential.certificateDer));
        templates.push_back(publicKeyTemplate(name, id, spki, exchange));
        if (withPrivateKey)
            templates.push_back(privateKeyTemplate(name, id, credential.privateKeyDer, exchange));
        const KeyPairObjects* found = index(token).pair(name, spec);
        const std::optional<KeyPairObjects> previous = found ? std::optional(*found) : std::nullopt;
        token.index.reset();
        createAll(token, templates);
        // The new pair stands; what it replaces goes, and the old private key with it unless it belongs to
        // the same public key and no new one came.
        if (previous) {
            for (const std::optional<CK_OBJECT_HANDLE>& old : {previous->certificate, previous->publicKey})
                if (old)
                    destroy(token, *old);
            if (previous->privateKey && (withPrivateKey || previous->id != id))
                destroy(token, *previous->privateKey);
        }
        return QR_OK;
    });
}

Result Pkcs11Driver::tokenFlags(int32_t idx, int32_t& flags) {
    return onToken(idx, [&](Token& token) {
        const CK_FLAGS facts = tokenInfo(token).flags;
        flags = 0;
        if (facts & CKF_PROTECTED_AUTHENTICATION_PATH)
            flags |= QUILLARD_TOKEN_PIN_PAD;
        if (facts & CKF_WRITE_PROTECTED)
            flags |= QUILLARD_TOKEN_WRITE_PROTECTED;
        if (!(facts & CKF_LOGIN_REQUIRED))
            flags |= QUILLARD_TOKEN_NO_LOGIN;
        return QR_OK;
    });
}

Result Pkcs11Driver::moduleName(int32_t, std::string& name) {
    // A module named by the caller may have no p11-kit name.
    name = module_->facts().name.empty() ? std::string("pkcs11") : module_->facts().name;
    return QR_OK;
}

Result Pkcs11Driver::generatedKeyKinds(int32_t idx, std::vector<GeneratedKeyKind>& kinds) {
    return onToken(idx, [&](Token& token) {
        kinds = generatedKindsOf(call_, token.slot);
        return QR_OK;
    });
}

Result Pkcs11Driver::generateKeyPair(int32_t idx, const std::string& name, int32_t spec, int32_t algorithm,
                                     int32_t bits, KeyDescription& publicKey) {
    return onToken(idx, [&](Token& token) {
        requireUser(token);
        const GeneratedKeyKind kind{algorithm, bits};
        if ((spec != 1 && spec != 2) ||
            std::ranges::find(kGeneratedKeyKinds, kind) == std::end(kGeneratedKeyKinds))
            throw Refusal{QR_ARGUMENTS_BAD};
        const std::vector<GeneratedKeyKind> offered = generatedKindsOf(call_, token.slot);
        if (std::ranges::find(offered, kind) == offered.end())
            throw Refusal{QR_FUNCTION_NOT_SUPPORTED};
        if (!index(token).find(name)) {
            requireContainerName(name);
            requireRoomForContainer(token);
        } else if (index(token).pair(name, spec)) {
            throw Refusal{QR_CONTAINER_EXISTS};
        }
        token.index.reset();
        publicKey = generatePair(token, kind, name, spec == 1);
        return QR_OK;
    });
}

KeyDescription Pkcs11Driver::generatePair(Token& token, const GeneratedKeyKind& kind, const std::string& name,
                                          bool exchange) {
    std::vector<uint8_t> provisionalId(20);
    if (RAND_bytes(provisionalId.data(), static_cast<int>(provisionalId.size())) != 1)
        throw std::bad_alloc();
    GenerationRequest request = generationRequest(kind, name, provisionalId, exchange);
    CK_OBJECT_HANDLE publicHandle = CK_INVALID_HANDLE;
    CK_OBJECT_HANDLE privateHandle = CK_INVALID_HANDLE;
    call_("C_GenerateKeyPair", &CK_FUNCTION_LIST::C_GenerateKeyPair, session(token), &request.mechanism,
          request.publicKey.data(), request.publicKey.size(), request.privateKey.data(),
          request.privateKey.size(), &publicHandle, &privateHandle);
    try {
        KeyDescription description = describePublicKeyObject(call_, session(token), publicHandle);
        const std::vector<uint8_t> id = keyIdOf(description.publicKeyDer);
        setId(token, publicHandle, id);
        setId(token, privateHandle, id);
        return description;
    } catch (...) {
        call_.attempt("C_DestroyObject", &CK_FUNCTION_LIST::C_DestroyObject, session(token), privateHandle);
        call_.attempt("C_DestroyObject", &CK_FUNCTION_LIST::C_DestroyObject, session(token), publicHandle);
        throw;
    }
}

void Pkcs11Driver::setId(Token& token, CK_OBJECT_HANDLE object, const std::vector<uint8_t>& id) {
    AttributeSet attributes;
    attributes.add(CKA_ID, id);
    call_("C_SetAttributeValue", &CK_FUNCTION_LIST::C_SetAttributeValue, session(token), object,
          attributes.data(), attributes.size());
}

Result Pkcs11Driver::signDigest(int32_t idx, const std::string& name, int32_t spec, const std::string& digest,
                                const std::vector<uint8_t>& hash, std::vector<uint8_t>& signature) {
    return onToken(idx, [&](Token& token) {
        requireUser(token);
        const KeyPairObjects* pair = index(token).pair(name, spec);
        if (!index(token).find(name))
            throw Refusal{QR_CONTAINER_NOT_FOUND};
        if (!pair || !pair->privateKey)
            throw Refusal{QR_OBJECT_HANDLE_INVALID};
        const CK_OBJECT_HANDLE key = *pair->privateKey;
        const KeyDescription description = describePrivateKeyObject(call_, session(token), key);
        SigningInput input = signingInput(description.algorithm, digest, hash);
        CK_MECHANISM mechanism{input.mechanism, nullptr, 0};
        call_("C_SignInit", &CK_FUNCTION_LIST::C_SignInit, session(token), &mechanism, key);
        CK_ULONG length = 0;
        call_("C_Sign", &CK_FUNCTION_LIST::C_Sign, session(token), input.data.data(),
              static_cast<CK_ULONG>(input.data.size()), nullptr, &length);
        std::vector<uint8_t> out(length);
        call_("C_Sign", &CK_FUNCTION_LIST::C_Sign, session(token), input.data.data(),
              static_cast<CK_ULONG>(input.data.size()), out.data(), &length);
        out.resize(length);
        signature = description.algorithm == AlgorithmRsa ? std::move(out) : ecdsaSignatureDer(out);
        return QR_OK;
    });
}

Result Pkcs11Driver::storeCertificate(int32_t idx, const std::string& name, int32_t spec,
                                      const std::vector<uint8_t>& certificateDer) {
    return onToken(idx, [&](Token& token) {
        requireUser(token);
        const KeyPairObjects* pair = index(token).pair(name, spec);
        if (!pair || !(pair->publicKey || pair->privateKey))
            throw Refusal{QR_OBJECT_HANDLE_INVALID};
        const std::optional<CK_OBJECT_HANDLE> previous = pair->certificate;
        std::vector<AttributeSet> templates;
        templates.push_back(certificateTemplate(name, pair->id, certificateDer));
        token.index.reset();
        createAll(token, templates);
        if (previous)
            destroy(token, *previous);
        return QR_OK;
    });
}

} // namespace quillard::pkcs11
