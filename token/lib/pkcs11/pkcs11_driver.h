// The keys of one PKCS#11 module: each token is a key, identified by its serial (slot ids change when a
// token is re-plugged or initialised). A software module's spare uninitialised token is listed only when
// the module was named by the caller. Each key keeps one read-write session; the logins of this driver are
// the module's logins of this process. What standard PKCS#11 cannot do (a label change without a format, the
// disk area, retry counts and PIN lengths at format time) answers QR_FUNCTION_NOT_SUPPORTED or is left to the
// token; retry counts the token does not give are QUILLARD_RETRIES_UNKNOWN.
#pragma once

#include "container_index.h"
#include "pkcs11_call.h"
#include "pkcs11_module.h"
#include "token/lib/driver.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillard::pkcs11 {

class Pkcs11Driver : public Driver {
public:
    explicit Pkcs11Driver(std::unique_ptr<Pkcs11Module> module);
    ~Pkcs11Driver() override;

    Result find(std::vector<std::string>& serials) override;
    Result presenceChanged(bool& changed) override;
    Result connect(int32_t idx) override;
    Result getInfo(int32_t idx, KeyInfo& info) override;
    Result getPinState(int32_t idx, PinKind kind, PinState& state) override;
    Result login(int32_t idx, PinKind kind, const SecureString& pin, int32_t& retriesLeft) override;
    Result logout(int32_t idx) override;
    Result changePin(int32_t idx, PinKind kind, const SecureString& oldPin,
                     const SecureString& newPin) override;
    Result unlockUserPin(int32_t idx, const SecureString& soPin, const SecureString& newUserPin) override;
    Result setLabel(int32_t idx, const std::string& utf8Label) override;
    Result format(int32_t idx, const FormatSettings& settings) override;
    Result writeSectors(int32_t idx, uint32_t firstSector, uint32_t sectorCount,
                        const uint8_t* data) override;
    Result reloadObjects(int32_t idx) override;
    Result moduleName(int32_t idx, std::string& name) override;
    Result tokenFlags(int32_t idx, int32_t& flags) override;

    Result listContainers(int32_t idx, std::vector<std::string>& names) override;
    Result createContainer(int32_t idx, const std::string& name) override;
    Result deleteContainer(int32_t idx, const std::string& name) override;
    Result deleteCertificate(int32_t idx, const std::string& name, int32_t spec) override;
    Result getCertificate(int32_t idx, const std::string& name, int32_t spec,
                          std::vector<uint8_t>& der) override;
    Result getPublicKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) override;
    Result getPrivateKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) override;
    Result importCredential(int32_t idx, const std::string& name, int32_t spec,
                            const Credential& credential) override;
    // Key pairs are generated as the token's mechanisms allow, under a CKA_ID of their public key's SHA-1.
    Result generatedKeyKinds(int32_t idx, std::vector<GeneratedKeyKind>& kinds) override;
    Result generateKeyPair(int32_t idx, const std::string& name, int32_t spec, int32_t algorithm,
                           int32_t bits, KeyDescription& publicKey) override;
    Result signDigest(int32_t idx, const std::string& name, int32_t spec, const std::string& digest,
                      const std::vector<uint8_t>& hash, std::vector<uint8_t>& signature) override;
    // The certificate takes the CKA_ID of the pair it joins, whoever wrote the pair.
    Result storeCertificate(int32_t idx, const std::string& name, int32_t spec,
                            const std::vector<uint8_t>& certificateDer) override;

private:
    struct Token {
        CK_SLOT_ID slot = 0;
        std::string serial;
        CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
        std::optional<PinKind> role;         // who is logged in through this driver
        SecureString soPin;                  // kept from the SO login for a format; wiped on logout
        std::optional<ContainerIndex> index; // dropped by every change and login
    };
    struct SlotToken {
        CK_SLOT_ID slot;
        std::string serial;
    };

    // The tokens present now, in slot order, without the spare uninitialised one of a module not named.
    std::vector<SlotToken> presentTokens() const;
    // Runs `work(token)` on the key at `idx` and turns what it throws into a result code.
    template <typename Work> Result onToken(int32_t idx, Work&& work);
    CK_TOKEN_INFO tokenInfo(const Token& token) const;
    // True when `pin` is left to the reader: it is empty and the token has a PIN pad.
    bool leftToPad(const Token& token, const SecureString& pin) const;
    CK_SESSION_HANDLE session(Token& token);
    void closeSession(Token& token);
    void forgetLogin(Token& token);
    void requireUser(const Token& token) const;
    const ContainerIndex& index(Token& token);
    // Throw QR_ARGUMENTS_BAD for a name no container may have, QR_CONTAINER_LIMIT when the token holds as
    // many containers as a key is given.
    static void requireContainerName(const std::string& name);
    void requireRoomForContainer(Token& token);
    // The DER bytes of the pair's certificate, read once per index; QR_OBJECT_HANDLE_INVALID without one.
    const std::vector<uint8_t>& certificateOf(Token& token, const KeyPairObjects& pair);
    // Logs `kind` in with `pin` and runs `work()`, logging out afterwards whatever happens; the login the
    // token had before is gone.
    template <typename Work> void asRole(Token& token, PinKind kind, const SecureString& pin, Work&& work);
    CK_RV tryLogin(Token& token, PinKind kind, const SecureString& pin);
    // Creates the objects of `templates`; a failure destroys the ones created before it.
    std::vector<CK_OBJECT_HANDLE> createAll(Token& token, std::vector<class AttributeSet>& templates);
    void destroy(Token& token, CK_OBJECT_HANDLE object);
    // C_InitToken with `soPin`, or with none on a PIN-pad reader (`onPad`) that asks for it.
    void initialiseToken(Token& token, const SecureString& soPin, const std::string& label, bool onPad);
    // Generates a pair of `kind` under container `name`, first under a random CKA_ID and then under the SHA-1
    // of its public key; a failure destroys what was made. Returns the public key's description.
    KeyDescription generatePair(Token& token, const GeneratedKeyKind& kind, const std::string& name,
                                bool exchange);
    void setId(Token& token, CK_OBJECT_HANDLE object, const std::vector<uint8_t>& id);

    std::unique_ptr<Pkcs11Module> module_;
    Pkcs11Call call_;
    std::vector<Token> tokens_;
    std::vector<SlotToken> lastPresence_;
};

} // namespace quillard::pkcs11
