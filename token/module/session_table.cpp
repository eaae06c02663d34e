#include "session_table.h"

#include "module_error.h"

#include <algorithm>

namespace quillard::module {

void Session::endOperations() {
    found.reset();
    signing.reset();
    verifying.reset();
    decrypting.reset();
    digesting.reset();
    keptSigning.reset();
}

CK_SESSION_HANDLE SessionTable::open(CK_SLOT_ID slot, const std::string& serial, int64_t epoch,
                                     CK_FLAGS flags) {
    CK_SESSION_HANDLE handle = nextHandle_++;
    Session& session = sessions_[handle];
    session.slot = slot;
    session.serial = serial;
    session.epoch = epoch;
    session.flags = flags;
    return handle;
}

Session& SessionTable::get(CK_SESSION_HANDLE handle) {
    auto found = sessions_.find(handle);
    if (found == sessions_.end())
        fail(CKR_SESSION_HANDLE_INVALID);
    return found->second;
}

void SessionTable::close(CK_SESSION_HANDLE handle) {
    if (sessions_.erase(handle) == 0)
        fail(CKR_SESSION_HANDLE_INVALID);
}

void SessionTable::closeAllOf(const std::string& serial) {
    std::erase_if(sessions_, [&](const auto& entry) { return entry.second.serial == serial; });
}

void SessionTable::closeStale(const std::string& serial, int64_t epoch) {
    std::erase_if(sessions_, [&](const auto& entry) {
        return entry.second.serial == serial && entry.second.epoch != epoch;
    });
}

std::size_t SessionTable::count(const std::string& serial) const {
    return std::count_if(sessions_.begin(), sessions_.end(),
                         [&](const auto& entry) { return entry.second.serial == serial; });
}

std::size_t SessionTable::countReadWrite(const std::string& serial) const {
    return std::count_if(sessions_.begin(), sessions_.end(), [&](const auto& entry) {
        return entry.second.serial == serial && entry.second.isReadWrite();
    });
}

void SessionTable::endOperationsOf(const std::string& serial) {
    for (auto& [handle, session] : sessions_)
        if (session.serial == serial)
            session.endOperations();
}

const AttributeSet* SessionTable::sessionObject(const std::string& serial, CK_OBJECT_HANDLE handle) const {
    for (const auto& [sessionHandle, session] : sessions_) {
        auto found = session.objects.find(handle);
        if (session.serial == serial && found != session.objects.end())
            return &found->second;
    }
    return nullptr;
}

std::vector<std::pair<CK_OBJECT_HANDLE, const AttributeSet*>>
SessionTable::sessionObjectsOf(const std::string& serial) const {
    std::vector<std::pair<CK_OBJECT_HANDLE, const AttributeSet*>> objects;
    for (const auto& [sessionHandle, session] : sessions_)
        if (session.serial == serial)
            for (const auto& [handle, attributes] : session.objects)
                objects.emplace_back(handle, &attributes);
    return objects;
}

bool SessionTable::destroySessionObject(const std::string& serial, CK_OBJECT_HANDLE handle) {
    for (auto& [sessionHandle, session] : sessions_)
        if (session.serial == serial && session.objects.erase(handle))
            return true;
    return false;
}

void SessionTable::destroyPrivateObjectsOf(const std::string& serial) {
    for (auto& [sessionHandle, session] : sessions_)
        if (session.serial == serial)
            std::erase_if(session.objects, [](const auto& entry) { return entry.second.flag(CKA_PRIVATE); });
}

} // namespace quillard::module
