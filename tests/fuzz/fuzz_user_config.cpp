// The per-user configuration (Base64 of XML): any file decodes without harm, the result is 0 or 1, and a
// read that fails leaves no field it did not reach set.
#include "config/mgr_config.h"
#include "fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".ini");
    TConfigInfo config;
    config.DefaultPIN = 77;
    const int result = ReadMgrConfig(QString::fromStdString(input.write(data, size)), config);
    require(result == 0 || result == 1);
    require(config.DefaultPIN != 77); // reset first, whatever the file holds
    if (result == 0)
        require(config.URL.size() <= 1 << 20 || size > (1 << 20));
    return 0;
}
