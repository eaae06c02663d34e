// pellorzu-vkey: creates, lists, plugs, unplugs, deletes and fills the virtual keys of PellorZu Admin.
#include "command_line.h"
#include "token/lib/secure_bytes.h"
#include "tools/common/wiped_words.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    tools::WipedWords words(std::vector<std::string>(argv + 1, argv + argc));
    // PINs may be given as arguments: blank the originals so they do not linger in the process's argument
    // list.
    for (int i = 1; i < argc; ++i)
        quillard::wipeMemory(argv[i], std::strlen(argv[i]));
    return vkey::CommandLine().run(words.words(), std::cout, std::cerr);
}
