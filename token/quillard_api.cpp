#include "quillard_api.h"

namespace token {

namespace {

QuillardApi& activeApi() {
    static QuillardApi api = realQuillardApi();
    return api;
}

} // namespace

const QuillardApi& realQuillardApi() {
    static const QuillardApi real{
        ::init_pkcs11,
        ::uninit_pkcs11,
        ::quillard_virtual_key_folder,
        ::quillard_virtual_key_devices,
        ::quillard_provider_name,
        ::quillard_module_file,
        ::token_find,
        ::token_connect,
        ::token_get_info,
        ::token_get_pin_state,
        ::token_login,
        ::token_login_so,
        ::token_logout,
        ::token_change_upin,
        ::token_change_sopin,
        ::token_set_upin,
        ::token_set_label,
        ::token_format,
        ::token_write_sectors,
        ::token_reload_all_objects,
        ::container_load_all,
        ::container_create_new,
        ::container_delete,
        ::container_delete_cert,
        ::container_get_cert,
        ::container_get_pubkey,
        ::container_get_prikey,
        ::helper_get_cert_info2,
        ::helper_show_cert_ui,
        ::quillard_set_cert_display_handler,
        ::helper_get_cert_text,
        ::pkcs12_file_parse,
        ::pkcs12_import_certificate,
        ::x509_import_certificate,
        ::container_addcert_to_store,
        ::remove_all_certs_from_store,
        ::quillard_tokens_changed,
        ::quillard_start_modules_in_background,
        ::quillard_key_module,
        ::quillard_disk_size,
        ::pkcs12_entry_certificate,
        ::x509_file_certificate,
        ::token_get_pin_count_low,
        ::token_get_keygen_algorithms,
        ::container_generate_keypair,
        ::container_sign_data,
        ::container_build_request,
        ::container_build_self_signed,
        ::container_install_cert,
        ::quillard_token_flags,
    };
    return real;
}

const QuillardApi& quillardApi() {
    return activeApi();
}

void setQuillardApi(const QuillardApi& api) {
    activeApi() = api;
}

} // namespace token
