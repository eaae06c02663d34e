#include "object_handles.h"

#include "module_error.h"

namespace quillard::module {

CK_OBJECT_HANDLE ObjectHandles::handleOf(const ObjectRef& ref) {
    auto found = handles_.find(ref);
    if (found != handles_.end())
        return found->second;
    refs_.push_back(ref);
    CK_OBJECT_HANDLE handle = refs_.size();
    handles_.emplace(ref, handle);
    return handle;
}

CK_OBJECT_HANDLE ObjectHandles::reserve() {
    refs_.emplace_back();
    return refs_.size();
}

ObjectRef ObjectHandles::refOf(CK_OBJECT_HANDLE handle) const {
    if (handle == CK_INVALID_HANDLE || handle > refs_.size() || !refs_[handle - 1])
        fail(CKR_OBJECT_HANDLE_INVALID);
    return *refs_[handle - 1];
}

} // namespace quillard::module
