// The exit codes of pellorzu-cli, as its help and the README document them.
#pragma once

namespace cli {

enum ExitCode : int {
    kDone = 0,        // everything asked for was done
    kFailed = 1,      // the key or the library refused or failed (provision: at least one key failed)
    kUsage = 2,       // the command line cannot be run as written
    kNoSuchKey = 3,   // no key, or more than one, answers to the name given
    kPinRefused = 4,  // a PIN was wrong or is locked, or the new PINs do not match
    kFileProblem = 5, // a file cannot be read or written, or a file holding PINs is open to others
    // check: the worst state of the keys checked.
    kHealthWarning = 6, // a certificate expires soon, or a PIN has few tries or its final try left
    kHealthProblem = 7, // a certificate has expired or is not valid yet, or a PIN is locked
};

} // namespace cli
