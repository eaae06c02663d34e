// The key specification on the command line: "exchange" (or 1) and "signature" (or 2).
#pragma once

#include <QString>
#include <cstdint>
#include <string>

namespace cli {

// 1 or 2; a usage error for any other word.
int32_t parseKeySpec(const std::string& word);
// "exchange" or "signature".
QString specName(int32_t spec);

} // namespace cli
