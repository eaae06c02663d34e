#include "driver_set.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace quillard {

DriverSet::DriverSet(std::vector<std::unique_ptr<Driver>> drivers) : drivers_(std::move(drivers)) {}

DriverSet::DriverSet(std::vector<std::unique_ptr<Driver>> drivers, DriverStart startLater)
    : drivers_(std::move(drivers)), startLater_(std::move(startLater)) {}

void DriverSet::startLaterDrivers() {
    if (startLater_)
        starting_ = std::async(std::launch::async, std::exchange(startLater_, nullptr));
}

void DriverSet::adoptStarted(bool wait) {
    if (wait)
        startLaterDrivers();
    if (!starting_.valid())
        return;
    if (!wait && starting_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    for (std::unique_ptr<Driver>& started : starting_.get())
        drivers_.push_back(std::move(started));
}

template <typename Work> Result DriverSet::onKey(int32_t idx, Work&& work) {
    if (idx < 0 || static_cast<std::size_t>(idx) >= entries_.size())
        return QR_SLOT_ID_INVALID;
    const Entry& entry = entries_[idx];
    return work(*drivers_[entry.driver], entry.index);
}

Result DriverSet::find(std::vector<std::string>& serials) {
    adoptStarted(false);
    std::vector<Entry> found;
    for (std::size_t driver = 0; driver < drivers_.size(); ++driver) {
        std::vector<std::string> keys;
        Result result = drivers_[driver]->find(keys);
        // The first driver's failure is the answer; a module that fails only hides its own tokens.
        if (result != QR_OK && driver == 0)
            return result;
        for (std::size_t i = 0; i < keys.size() && result == QR_OK; ++i)
            found.push_back({driver, static_cast<int32_t>(i), keys[i]});
    }
    auto same = [](const Entry& a, const Entry& b) { return a.driver == b.driver && a.serial == b.serial; };
    std::vector<Entry> ordered;
    // The first driver keeps its own order; the other drivers' keys keep the order they had, new ones last.
    for (const Entry& entry : found)
        if (entry.driver == 0)
            ordered.push_back(entry);
    for (const Entry& old : entries_) {
        auto still = std::find_if(found.begin(), found.end(), [&](const Entry& e) { return same(e, old); });
        if (old.driver != 0 && still != found.end())
            ordered.push_back(*still);
    }
    for (const Entry& entry : found) {
        const bool listed =
            std::any_of(ordered.begin(), ordered.end(), [&](const Entry& e) { return same(e, entry); });
        if (!listed)
            ordered.push_back(entry);
    }
    entries_ = std::move(ordered);
    // The keys found so far are the caller's at once; the drivers that start later start now.
    startLaterDrivers();
    serials.clear();
    for (const Entry& entry : entries_)
        serials.push_back(entry.serial);
    return QR_OK;
}

Result DriverSet::presenceChanged(bool& changed) {
    // Drivers that joined since the last find() have found nothing yet: any key of theirs is a change.
    adoptStarted(true);
    changed = false;
    for (const std::unique_ptr<Driver>& driver : drivers_) {
        bool driverChanged = false;
        if (driver->presenceChanged(driverChanged) == QR_OK && driverChanged)
            changed = true;
    }
    return QR_OK;
}

Result DriverSet::connect(int32_t idx) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.connect(index); });
}

Result DriverSet::getInfo(int32_t idx, KeyInfo& info) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.getInfo(index, info); });
}

Result DriverSet::getPinState(int32_t idx, PinKind kind, PinState& state) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.getPinState(index, kind, state); });
}

Result DriverSet::login(int32_t idx, PinKind kind, const SecureString& pin, int32_t& retriesLeft) {
    return onKey(idx,
                 [&](Driver& driver, int32_t index) { return driver.login(index, kind, pin, retriesLeft); });
}

Result DriverSet::logout(int32_t idx) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.logout(index); });
}

Result DriverSet::changePin(int32_t idx, PinKind kind, const SecureString& oldPin,
                            const SecureString& newPin) {
    return onKey(
        idx, [&](Driver& driver, int32_t index) { return driver.changePin(index, kind, oldPin, newPin); });
}

Result DriverSet::unlockUserPin(int32_t idx, const SecureString& soPin, const SecureString& newUserPin) {
    return onKey(
        idx, [&](Driver& driver, int32_t index) { return driver.unlockUserPin(index, soPin, newUserPin); });
}

Result DriverSet::setLabel(int32_t idx, const std::string& utf8Label) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.setLabel(index, utf8Label); });
}

Result DriverSet::format(int32_t idx, const FormatSettings& settings) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.format(index, settings); });
}

Result DriverSet::writeSectors(int32_t idx, uint32_t firstSector, uint32_t sectorCount, const uint8_t* data) {
    return onKey(idx, [&](Driver& driver, int32_t index) {
        return driver.writeSectors(index, firstSector, sectorCount, data);
    });
}

Result DriverSet::reloadObjects(int32_t idx) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.reloadObjects(index); });
}

Result DriverSet::moduleName(int32_t idx, std::string& name) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.moduleName(index, name); });
}

Result DriverSet::diskSize(int32_t idx, uint64_t& bytes) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.diskSize(index, bytes); });
}

Result DriverSet::tokenFlags(int32_t idx, int32_t& flags) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.tokenFlags(index, flags); });
}

Result DriverSet::listContainers(int32_t idx, std::vector<std::string>& names) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.listContainers(index, names); });
}

Result DriverSet::createContainer(int32_t idx, const std::string& name) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.createContainer(index, name); });
}

Result DriverSet::deleteContainer(int32_t idx, const std::string& name) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.deleteContainer(index, name); });
}

Result DriverSet::deleteCertificate(int32_t idx, const std::string& name, int32_t spec) {
    return onKey(idx,
                 [&](Driver& driver, int32_t index) { return driver.deleteCertificate(index, name, spec); });
}

Result DriverSet::getCertificate(int32_t idx, const std::string& name, int32_t spec,
                                 std::vector<uint8_t>& der) {
    return onKey(
        idx, [&](Driver& driver, int32_t index) { return driver.getCertificate(index, name, spec, der); });
}

Result DriverSet::getPublicKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) {
    return onKey(idx,
                 [&](Driver& driver, int32_t index) { return driver.getPublicKey(index, name, spec, key); });
}

Result DriverSet::getPrivateKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) {
    return onKey(idx,
                 [&](Driver& driver, int32_t index) { return driver.getPrivateKey(index, name, spec, key); });
}

Result DriverSet::importCredential(int32_t idx, const std::string& name, int32_t spec,
                                   const Credential& credential) {
    return onKey(idx, [&](Driver& driver, int32_t index) {
        return driver.importCredential(index, name, spec, credential);
    });
}

Result DriverSet::generatedKeyKinds(int32_t idx, std::vector<GeneratedKeyKind>& kinds) {
    return onKey(idx, [&](Driver& driver, int32_t index) { return driver.generatedKeyKinds(index, kinds); });
}

Result DriverSet::generateKeyPair(int32_t idx, const std::string& name, int32_t spec, int32_t algorithm,
                                  int32_t bits, KeyDescription& publicKey) {
    return onKey(idx, [&](Driver& driver, int32_t index) {
        return driver.generateKeyPair(index, name, spec, algorithm, bits, publicKey);
    });
}

Result DriverSet::signDigest(int32_t idx, const std::string& name, int32_t spec, const std::string& digest,
                             const std::vector<uint8_t>& hash, std::vector<uint8_t>& signature) {
    return onKey(idx, [&](Driver& driver, int32_t index) {
        return driver.signDigest(index, name, spec, digest, hash, signature);
    });
}

Result DriverSet::storeCertificate(int32_t idx, const std::string& name, int32_t spec,
                                   const std::vector<uint8_t>& certificateDer) {
    return onKey(idx, [&](Driver& driver, int32_t index) {
        return driver.storeCertificate(index, name, spec, certificateDer);
    });
}

} // namespace quillard
