// Several drivers as one: one list of keys over all of them, the first driver's keys first (the virtual
// keys), then the others'. A key is its driver and its serial; the indices stay as they were between scans
// while the same keys are present: keys still present keep their order, new ones come after them.
#pragma once

#include "driver.h"

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace quillard {

class DriverSet : public Driver {
public:
    explicit DriverSet(std::vector<std::unique_ptr<Driver>> drivers);
    // More drivers that `startLater` makes (PKCS#11 modules to load), started beside the caller once the
    // first find() has found the keys of `drivers`: they join the set, after the drivers it has, once
    // started. find() takes them when they are ready and never waits for them; presenceChanged() waits for
    // them, and answers changed when they brought keys.
    using DriverStart = std::function<std::vector<std::unique_ptr<Driver>>()>;
    DriverSet(std::vector<std::unique_ptr<Driver>> drivers, DriverStart startLater);

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
    Result diskSize(int32_t idx, uint64_t& bytes) override;
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
    Result generatedKeyKinds(int32_t idx, std::vector<GeneratedKeyKind>& kinds) override;
    Result generateKeyPair(int32_t idx, const std::string& name, int32_t spec, int32_t algorithm,
                           int32_t bits, KeyDescription& publicKey) override;
    Result signDigest(int32_t idx, const std::string& name, int32_t spec, const std::string& digest,
                      const std::vector<uint8_t>& hash, std::vector<uint8_t>& signature) override;
    Result storeCertificate(int32_t idx, const std::string& name, int32_t spec,
                            const std::vector<uint8_t>& certificateDer) override;

private:
    struct Entry {
        std::size_t driver;
        int32_t index; // in the driver's last find()
        std::string serial;
    };

    // Runs `work(driver, index)` for the key at `idx`.
    template <typename Work> Result onKey(int32_t idx, Work&& work);
    // Adds the drivers that were starting once they have started; with `wait`, waits for them first.
    void adoptStarted(bool wait);
    void startLaterDrivers();

    std::vector<std::unique_ptr<Driver>> drivers_;
    DriverStart startLater_;
    std::future<std::vector<std::unique_ptr<Driver>>> starting_;
    std::vector<Entry> entries_;
};

} // namespace quillard
