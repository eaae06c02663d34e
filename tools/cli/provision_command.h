// `provision --settings FILE [--all-blank | KEY...]`: formats many keys with one settings file, optionally
// with per-key labels and user PINs from a CSV file and a PKCS#12 file per key from a folder, and prints one
// result line per key. A key that fails does not stop the others; the exit code says whether all succeeded.
#pragma once

#include "command.h"

namespace cli {

class ProvisionCommand : public Command {
public:
    std::string name() const override { return "provision"; }
    std::string usage() const override;
    std::set<std::string> options() const override;
    std::set<std::string> switches() const override;
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
