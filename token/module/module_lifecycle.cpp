#include "module_lifecycle.h"

#include "token/lib/paths.h"

#include <pthread.h>

#include <chrono>

namespace quillard::module {

namespace {

// How often a blocking C_WaitForSlotEvent looks at the device folder.
constexpr std::chrono::milliseconds kSlotPollInterval{200};

CK_RV checkInitializeArguments(const CK_C_INITIALIZE_ARGS* arguments) {
    if (!arguments)
        return CKR_OK;
    if (arguments->pReserved)
        return CKR_ARGUMENTS_BAD;
    const int given = !!arguments->CreateMutex + !!arguments->DestroyMutex + !!arguments->LockMutex +
                      !!arguments->UnlockMutex;
    if (given != 0 && given != 4)
        return CKR_ARGUMENTS_BAD;
    // The module locks with the system's own primitives; it cannot use a caller's instead.
    if (given == 4 && !(arguments->flags & CKF_OS_LOCKING_OK))
        return CKR_CANT_LOCK;
    return CKR_OK;
}

} // namespace

ModuleLifecycle& ModuleLifecycle::instance() {
    static ModuleLifecycle* lifecycle = new ModuleLifecycle; // never destroyed: threads may outlive main()
    return *lifecycle;
}

ModuleLifecycle::ModuleLifecycle() : mutex_(new std::mutex), events_(new std::condition_variable) {
    pthread_atfork(beforeFork, afterForkInParent, afterForkInChild);
}

void ModuleLifecycle::beforeFork() {
    instance().mutex_->lock();
}

void ModuleLifecycle::afterForkInParent() {
    instance().mutex_->unlock();
}

void ModuleLifecycle::afterForkInChild() {
    ModuleLifecycle& lifecycle = instance();
    // The parent's database connections and logins stay the parent's: the child forgets them unclosed.
    [[maybe_unused]] ModuleContext* abandoned = lifecycle.context_.release();
    lifecycle.events_ = new std::condition_variable;
    lifecycle.mutex_->unlock();
}

CK_RV ModuleLifecycle::initialize(const CK_C_INITIALIZE_ARGS* arguments) {
    if (CK_RV rv = checkInitializeArguments(arguments); rv != CKR_OK)
        return rv;
    std::lock_guard<std::mutex> lock(*mutex_);
    if (context_)
        return CKR_CRYPTOKI_ALREADY_INITIALIZED;
    return guarded([&] {
        const bool mayStartThreads = !arguments || !(arguments->flags & CKF_LIBRARY_CANT_CREATE_OS_THREADS);
        context_ = std::make_unique<ModuleContext>(keysFolder(), mayStartThreads);
        return CKR_OK;
    });
}

CK_RV ModuleLifecycle::finalize(void* reserved) {
    if (reserved)
        return CKR_ARGUMENTS_BAD;
    std::lock_guard<std::mutex> lock(*mutex_);
    if (!context_)
        return CKR_CRYPTOKI_NOT_INITIALIZED;
    context_.reset();
    ++generation_;
    events_->notify_all();
    return CKR_OK;
}

CK_RV ModuleLifecycle::waitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID* slot, void* reserved) {
    if (!slot || reserved)
        return CKR_ARGUMENTS_BAD;
    std::unique_lock<std::mutex> lock(*mutex_);
    if (!context_)
        return CKR_CRYPTOKI_NOT_INITIALIZED;
    const unsigned long generation = generation_;
    for (;;) {
        std::optional<CK_SLOT_ID> event;
        CK_RV rv = guarded([&] {
            context_->rescan();
            event = context_->slots().takeEvent();
            return CKR_OK;
        });
        if (rv != CKR_OK)
            return rv;
        if (event) {
            *slot = *event;
            return CKR_OK;
        }
        if (flags & CKF_DONT_BLOCK)
            return CKR_NO_EVENT;
        events_->wait_for(lock, kSlotPollInterval, [&] { return generation_ != generation; });
        if (generation_ != generation || !context_)
            return CKR_CRYPTOKI_NOT_INITIALIZED;
    }
}

} // namespace quillard::module
