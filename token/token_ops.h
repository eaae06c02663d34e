// The token operations layer: the only caller of libquillard. One operation per library function, under the
// library's name, plus LoadContainerList and ReadCertInfo. Results are the library's codes unchanged (0 =
// success) unless said otherwise. Texts are NUL-terminated 8-bit strings (PINs, names, paths); labels go to
// the library as UTF-8.
#pragma once

#include "cert_info_record.h"
#include "key_table.h"
#include "token/lib/quillard.h"

#include <cstdint>
#include <string>
#include <vector>

namespace token {

// Starts the library with the module name (the PKCS11Name text in 8-bit form).
int32_t init_pkcs11(const std::string& moduleName);
// init_pkcs11 that returns once the virtual keys are ready: the PKCS#11 modules start beside the caller, and
// quillard_tokens_changed() answers true once they brought tokens.
int32_t init_pkcs11_modules_in_background(const std::string& moduleName);
void uninit_pkcs11();

// What the library says about its own devices and files; these work before init_pkcs11.
// The folder virtual keys are plugged into; empty when the library does not say.
std::string quillard_virtual_key_folder();
// The device paths of the plugged virtual keys (each carries the key's product id after "PID_").
int32_t quillard_virtual_key_devices(std::vector<std::string>& paths);
// The provider name of the library's certificate store; empty when the library does not say.
std::string quillard_provider_name();
// The file `moduleName` stands for when it is the library's own module; empty otherwise.
std::string quillard_module_file(const std::string& moduleName);

// True when the PKCS#11 tokens differ from the last scan (one inserted or removed); false when they do not,
// or the library cannot tell. Cheap, never waits.
bool quillard_tokens_changed();
// The name of the module key `idx` belongs to ("virtual", or p11-kit's name of a PKCS#11 module); empty when
// the library does not say.
std::string quillard_key_module(int32_t idx);
// The size in bytes of the disk area of key `idx` into `bytes`; QR_FUNCTION_NOT_SUPPORTED for a key without
// one.
int32_t quillard_disk_size(int32_t idx, uint64_t& bytes);

// Finds and connects all keys: 1 with a key count of 0 when the search fails or finds nothing, otherwise the
// result of the last token_connect. Sets keyTable().keyCount.
int32_t token_find(int32_t& keyCount);
// Fills the first thirteen fields of `record`.
int32_t token_get_info(int32_t idx, TZartoInfo& record);
// Zero-fills `state`, then asks the library; a failed call therefore reads as not locked with 0 retries.
void token_get_pin_state(int32_t idx, PinType type, TPinState& state);

int32_t token_login(int32_t idx, const char* userPin, int32_t& retriesLeft);
int32_t token_login_so(int32_t idx, const char* soPin, int32_t& retriesLeft);
int32_t token_logout(int32_t idx);
int32_t token_reload_all_objects(int32_t idx);
int32_t token_change_upin(int32_t idx, const char* oldPin, const char* newPin);
int32_t token_change_sopin(int32_t idx, const char* oldSoPin, const char* newSoPin);
int32_t token_set_upin(int32_t idx, const char* soPin, const char* newUserPin);
// Converts the label to UTF-8 and hands it over at the start of a zero-filled 64-byte buffer (callers accept
// only labels whose UTF-8 form is shorter than 32 bytes; longer ones are cut at 63 bytes here so the buffer
// stays ended).
int32_t token_set_label(int32_t idx, const std::u16string& label);
int32_t token_format(int32_t idx, const TFormatParams& params);
int32_t token_write_sectors(int32_t idx, uint32_t firstSector, uint32_t sectorCount, const void* data);

// Reads the container names of key `idx` into `record` (count and names); on failure `record` is left as it
// was.
int32_t LoadContainerList(int32_t idx, TZartoInfo& record);
int32_t container_create_new(int32_t idx, const std::string& container);
int32_t container_delete(int32_t idx, const std::string& container);
int32_t container_delete_cert(int32_t idx, const std::string& container, int32_t spec);
int32_t container_get_cert(int32_t idx, const std::string& container, int32_t spec, uint8_t* buffer,
                           int32_t& length);
// container_get_cert, container_get_pubkey and helper_get_cert_info2 in a row; 0 = present and parsed. The
// certificate lands in info.certificate, sized to it (at most kCertificateBufferSize bytes; a longer one
// gives the library's QR_BUFFER_TOO_SMALL); a certificate that cannot be read leaves info.certificate empty.
int32_t ReadCertInfo(int32_t idx, const std::string& container, int32_t spec, TZartoCertInfo& info);
// The algorithm code: 0 RSA, 3 ECC (any other value is shown as RSA).
int32_t container_get_pubkey(int32_t idx, const std::string& container, int32_t spec, int32_t& algorithm);
int32_t container_get_prikey(int32_t idx, const std::string& container, int32_t spec, int32_t& algorithm);

int32_t helper_show_cert_ui(void* owner, const uint8_t* cert, int32_t length);
// Registers how helper_show_cert_ui shows a certificate; `context` is handed back to every call.
void set_cert_display_handler(quillard_cert_display_handler handler, void* context);
// The text of `field` (QUILLARD_CERT_*) of a DER certificate in UTF-8; `text` is left alone on failure.
int32_t helper_get_cert_text(const uint8_t* cert, int32_t length, int32_t field, std::string& text);
int32_t pkcs12_file_parse(const std::string& path, const char* password, int32_t& entries);
int32_t pkcs12_import_certificate(int32_t idx, const std::string& container, int32_t spec, int32_t entry);
int32_t x509_import_certificate(int32_t idx, const std::string& container, int32_t spec,
                                const std::string& path);
int32_t container_addcert_to_store(const std::string& container, const std::string& cspName, int32_t spec,
                                   const uint8_t* cert, int32_t length);
int32_t remove_all_certs_from_store(const std::string& cspName);

// The DER certificate of entry `entry` of the PKCS#12 file parsed last, or of the X.509 file at `path`, as an
// import would store it; `der` is left empty on failure.
int32_t pkcs12_entry_certificate(int32_t entry, std::vector<uint8_t>& der);
int32_t x509_file_certificate(const std::string& path, std::vector<uint8_t>& der);
// True when the token flags the PIN of `type` as having had wrong tries; false when it does not or cannot
// tell.
bool token_get_pin_count_low(int32_t idx, PinType type);
// What kind of token key `idx` is (QUILLARD_TOKEN_* bits); none when the library cannot tell.
int32_t quillard_token_flags(int32_t idx);

} // namespace token
