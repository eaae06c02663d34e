// A scripted libquillard for tests: while an object lives, every operation of the token layer calls its
// members instead of the real library. Each member starts as "succeed and fill nothing" and a test replaces
// the ones it cares about; `calls` records the name of every call in order.
#pragma once

#include "token/quillard_api.h"

#include <functional>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#define SCRIPTED_QUILLARD_FUNCTIONS(X)                                                                       \
    X(init_pkcs11)                                                                                           \
    X(uninit_pkcs11)                                                                                         \
    X(quillard_virtual_key_folder)                                                                           \
    X(quillard_virtual_key_devices)                                                                          \
    X(quillard_provider_name)                                                                                \
    X(quillard_module_file)                                                                                  \
    X(token_find)                                                                                            \
    X(token_connect)                                                                                         \
    X(token_get_info)                                                                                        \
    X(token_get_pin_state)                                                                                   \
    X(token_login)                                                                                           \
    X(token_login_so)                                                                                        \
    X(token_logout)                                                                                          \
    X(token_change_upin)                                                                                     \
    X(token_change_sopin)                                                                                    \
    X(token_set_upin)                                                                                        \
    X(token_set_label)                                                                                       \
    X(token_format)                                                                                          \
    X(token_write_sectors)                                                                                   \
    X(token_reload_all_objects)                                                                              \
    X(container_load_all)                                                                                    \
    X(container_create_new)                                                                                  \
    X(container_delete)                                                                                      \
    X(container_delete_cert)                                                                                 \
    X(container_get_cert)                                                                                    \
    X(container_get_pubkey)                                                                                  \
    X(container_get_prikey)                                                                                  \
    X(helper_get_cert_info2)                                                                                 \
    X(helper_show_cert_ui)                                                                                   \
    X(quillard_set_cert_display_handler)                                                                     \
    X(helper_get_cert_text)                                                                                  \
    X(pkcs12_file_parse)                                                                                     \
    X(pkcs12_import_certificate)                                                                             \
    X(x509_import_certificate)                                                                               \
    X(container_addcert_to_store)                                                                            \
    X(remove_all_certs_from_store)                                                                           \
    X(quillard_tokens_changed)                                                                               \
    X(quillard_start_modules_in_background)                                                                  \
    X(quillard_key_module)                                                                                   \
    X(quillard_disk_size)                                                                                    \
    X(pkcs12_entry_certificate)                                                                              \
    X(x509_file_certificate)                                                                                 \
    X(token_get_pin_count_low)                                                                               \
    X(token_get_keygen_algorithms)                                                                           \
    X(container_generate_keypair)                                                                            \
    X(container_sign_data)                                                                                   \
    X(container_build_request)                                                                               \
    X(container_build_self_signed)                                                                           \
    X(container_install_cert)                                                                                \
    X(quillard_token_flags)

class ScriptedQuillard {
public:
    // init_pkcs11 answers `initResult` and remembers the module name; token_find finds no key.
    explicit ScriptedQuillard(int32_t initResult = 0);
    ~ScriptedQuillard();
    ScriptedQuillard(const ScriptedQuillard&) = delete;
    ScriptedQuillard& operator=(const ScriptedQuillard&) = delete;

#define SCRIPTED_MEMBER(name) std::function<std::remove_pointer_t<decltype(&::name)>> name;
    SCRIPTED_QUILLARD_FUNCTIONS(SCRIPTED_MEMBER)
#undef SCRIPTED_MEMBER

    // Read it once no other thread calls the library any more. The window's token poll
    // (quillard_tokens_changed) is left out, as it runs on a timer whatever a test does.
    std::vector<std::string> calls;
    mutable std::mutex callsMutex;
    // How many times `name` was called.
    int count(const std::string& name) const;
    int initCalls() const {
        return count("init_pkcs11");
    }
    int uninitCalls() const {
        return count("uninit_pkcs11");
    }
    // The module name of the last init_pkcs11.
    const std::string& module() const {
        return module_;
    }

    // The object whose members the library calls go to.
    static ScriptedQuillard* current();

private:
    std::string module_;
};
