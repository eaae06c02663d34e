#include "scripted_quillard.h"

#include <algorithm>
#include <mutex>
#include <string_view>

namespace {

ScriptedQuillard* active = nullptr;

namespace names {
#define SCRIPTED_NAME(name) constexpr char name[] = #name;
SCRIPTED_QUILLARD_FUNCTIONS(SCRIPTED_NAME)
#undef SCRIPTED_NAME
} // namespace names

template <typename F> struct Thunk;
template <typename R, typename... A> struct Thunk<R (*)(A...)> {
    template <std::function<R(A...)> ScriptedQuillard::*Member, const char* Name> static R call(A... args) {
        // The poll and the token kind are asked beside the operations the tests follow, not as steps of them;
        // how the modules start is a setting, not a step.
        if (std::string_view(Name) != "quillard_tokens_changed" &&
            std::string_view(Name) != "quillard_token_flags" &&
            std::string_view(Name) != "quillard_start_modules_in_background") {
            // The import worker calls the library from its own thread.
            const std::lock_guard lock(active->callsMutex);
            active->calls.emplace_back(Name);
        }
        return (active->*Member)(args...);
    }
};

template <typename F> struct Succeed;
template <typename R, typename... A> struct Succeed<R (*)(A...)> {
    static R call(A...) { return R(); }
};

} // namespace

ScriptedQuillard::ScriptedQuillard(int32_t initResult) {
#define SCRIPTED_DEFAULT(name) name = &Succeed<decltype(&::name)>::call;
    SCRIPTED_QUILLARD_FUNCTIONS(SCRIPTED_DEFAULT)
#undef SCRIPTED_DEFAULT
    init_pkcs11 = [this, initResult](const char* moduleName) {
        module_ = moduleName ? moduleName : "";
        return initResult;
    };
    token_find = [](int32_t*, int32_t* count) {
        *count = 0;
        return int32_t(0);
    };
    token::QuillardApi api{};
#define SCRIPTED_BIND(name)                                                                                  \
    api.name = &Thunk<decltype(&::name)>::template call<&ScriptedQuillard::name, names::name>;
    SCRIPTED_QUILLARD_FUNCTIONS(SCRIPTED_BIND)
#undef SCRIPTED_BIND
    active = this;
    token::setQuillardApi(api);
}

ScriptedQuillard::~ScriptedQuillard() {
    token::setQuillardApi(token::realQuillardApi());
    active = nullptr;
}

int ScriptedQuillard::count(const std::string& name) const {
    const std::lock_guard lock(callsMutex);
    return static_cast<int>(std::count(calls.begin(), calls.end(), name));
}

ScriptedQuillard* ScriptedQuillard::current() {
    return active;
}
