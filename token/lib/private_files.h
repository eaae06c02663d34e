// Files and folders that only their owner may read. Key databases allow offline PIN guessing and disk images
// hold the key's data, so everything the library creates is mode 0700 (folders) or 0600 (files), and what
// already exists with wider modes is tightened when the library opens it.
#pragma once

#include "driver.h"

#include <filesystem>

namespace quillard {

// Creates `folder` and any missing parents with mode 0700 and tightens `folder` itself when it is ours and
// open to others. QR_OK, QR_STORAGE_ERROR when it cannot be created, or QR_FILE_NOT_PRIVATE when another user
// owns it and others may enter it.
Result makePrivateFolder(const std::filesystem::path& folder);
// Tightens an existing file to mode 0600. QR_OK (also when the file is missing: there is nothing to expose),
// QR_FILE_NOT_PRIVATE when the file is open to others and belongs to another user, so it cannot be tightened.
Result makePrivateFile(const std::filesystem::path& file);
// Creates `file` empty with mode 0600 when it is missing, then behaves as makePrivateFile().
Result createPrivateFile(const std::filesystem::path& file);

} // namespace quillard
