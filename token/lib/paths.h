// Where libquillard keeps its files: the per-user data folder (XDG_DATA_HOME, else ~/.local/share) followed
// by Norvale/PellorZu. Read at every call, so tests can point it elsewhere.
#pragma once

#include <filesystem>

namespace quillard {

std::filesystem::path dataFolder();
// The device folder: a virtual key is plugged in while its files sit here.
std::filesystem::path keysFolder();
// Where unplugged virtual keys wait to be plugged in again.
std::filesystem::path unpluggedKeysFolder();
// The per-user system certificate store.
std::filesystem::path certStorePath();

} // namespace quillard
