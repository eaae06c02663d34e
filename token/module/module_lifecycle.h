// The module's life between C_Initialize and C_Finalize, in one place for every thread and across fork():
// one lock lets one call at a time work on the context (PKCS#11's CKF_OS_LOCKING_OK; the driver under it
// serialises its work anyway), a child process after fork() starts uninitialised and initialises afresh
// (what the parent had open is left alone, never closed from the child), and C_Finalize wakes the threads
// waiting for a slot event.
#pragma once

#include "module_context.h"
#include "module_error.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>

namespace quillard::module {

class ModuleLifecycle {
public:
    static ModuleLifecycle& instance();

    CK_RV initialize(const CK_C_INITIALIZE_ARGS* arguments);
    CK_RV finalize(void* reserved);
    CK_RV waitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID* slot, void* reserved);

    // Runs `work(context)` (which returns a CK_RV) under the lock, turning failures into results.
    template <typename Work> CK_RV call(Work&& work) {
        std::lock_guard<std::mutex> lock(*mutex_);
        if (!context_)
            return CKR_CRYPTOKI_NOT_INITIALIZED;
        context_->beginCall();
        return guarded([&] { return work(*context_); });
    }

private:
    ModuleLifecycle();
    template <typename Work> static CK_RV guarded(Work&& work) {
        try {
            return work();
        } catch (const ModuleError& error) {
            return error.rv;
        } catch (const std::bad_alloc&) {
            return CKR_HOST_MEMORY;
        } catch (...) {
            return CKR_GENERAL_ERROR;
        }
    }
    static void beforeFork();
    static void afterForkInParent();
    static void afterForkInChild();

    // Pointers, so a child can drop what the parent's threads may have left in use without running any of
    // its destructors.
    std::mutex* mutex_;
    std::condition_variable* events_;
    std::unique_ptr<ModuleContext> context_;
    unsigned long generation_ = 0; // one more at every C_Finalize
};

} // namespace quillard::module
