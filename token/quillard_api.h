// The one seam between the operations layer and libquillard: a table of the library's functions. By default
// it points at the real library; tests install a table of scripted functions to choose what each call
// returns.
#pragma once

#include "token/lib/quillard.h"

namespace token {

struct QuillardApi {
    decltype(&::init_pkcs11) init_pkcs11;
    decltype(&::uninit_pkcs11) uninit_pkcs11;
    decltype(&::quillard_virtual_key_folder) quillard_virtual_key_folder;
    decltype(&::quillard_virtual_key_devices) quillard_virtual_key_devices;
    decltype(&::quillard_provider_name) quillard_provider_name;
    decltype(&::quillard_module_file) quillard_module_file;
    decltype(&::token_find) token_find;
    decltype(&::token_connect) token_connect;
    decltype(&::token_get_info) token_get_info;
    decltype(&::token_get_pin_state) token_get_pin_state;
    decltype(&::token_login) token_login;
    decltype(&::token_login_so) token_login_so;
    decltype(&::token_logout) token_logout;
    decltype(&::token_change_upin) token_change_upin;
    decltype(&::token_change_sopin) token_change_sopin;
    decltype(&::token_set_upin) token_set_upin;
    decltype(&::token_set_label) token_set_label;
    decltype(&::token_format) token_format;
    decltype(&::token_write_sectors) token_write_sectors;
    decltype(&::token_reload_all_objects) token_reload_all_objects;
    decltype(&::container_load_all) container_load_all;
    decltype(&::container_create_new) container_create_new;
    decltype(&::container_delete) container_delete;
    decltype(&::container_delete_cert) container_delete_cert;
    decltype(&::container_get_cert) container_get_cert;
    decltype(&::container_get_pubkey) container_get_pubkey;
    decltype(&::container_get_prikey) container_get_prikey;
    decltype(&::helper_get_cert_info2) helper_get_cert_info2;
    decltype(&::helper_show_cert_ui) helper_show_cert_ui;
    decltype(&::quillard_set_cert_display_handler) quillard_set_cert_display_handler;
    decltype(&::helper_get_cert_text) helper_get_cert_text;
    decltype(&::pkcs12_file_parse) pkcs12_file_parse;
    decltype(&::pkcs12_import_certificate) pkcs12_import_certificate;
    decltype(&::x509_import_certificate) x509_import_certificate;
    decltype(&::container_addcert_to_store) container_addcert_to_store;
    decltype(&::remove_all_certs_from_store) remove_all_certs_from_store;
    decltype(&::quillard_tokens_changed) quillard_tokens_changed;
    decltype(&::quillard_start_modules_in_background) quillard_start_modules_in_background;
    decltype(&::quillard_key_module) quillard_key_module;
    decltype(&::quillard_disk_size) quillard_disk_size;
    // The certificates an import would store.
    decltype(&::pkcs12_entry_certificate) pkcs12_entry_certificate;
    decltype(&::x509_file_certificate) x509_file_certificate;
    decltype(&::token_get_pin_count_low) token_get_pin_count_low;
    // Enrolment: key pairs made on the key, signatures, requests and installing issued certificates.
    decltype(&::token_get_keygen_algorithms) token_get_keygen_algorithms;
    decltype(&::container_generate_keypair) container_generate_keypair;
    decltype(&::container_sign_data) container_sign_data;
    decltype(&::container_build_request) container_build_request;
    decltype(&::container_build_self_signed) container_build_self_signed;
    decltype(&::container_install_cert) container_install_cert;
    // Tokens as they are: PIN pads, write protection, no login.
    decltype(&::quillard_token_flags) quillard_token_flags;
};

// The table every operation calls through.
const QuillardApi& quillardApi();
// The table bound to the real library.
const QuillardApi& realQuillardApi();
// Replaces the table (tests); pass realQuillardApi() to restore.
void setQuillardApi(const QuillardApi& api);

} // namespace token
