// A temporary world for pellorzu-cli tests: its own XDG folders with virtual keys made by pellorzu-vkey, and
// a way to run pellorzu-cli (found beside the test program) with arguments, extra environment and standard
// input, collecting its output and exit code.
#pragma once

#include "tests/common/temp_world.h"

#include <QJsonDocument>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
    // Standard output parsed as JSON (a null document when it is not JSON).
    QJsonDocument json() const;
};

class CliWorld {
public:
    CliWorld();

    // Runs pellorzu-cli with `arguments`; `input` goes to its standard input; `environment` adds to or (with
    // an empty value) removes from the test's environment. LANG is C unless set here.
    CliRun cli(const std::vector<std::string>& arguments, const std::string& input = {},
               const std::map<std::string, std::string>& environment = {}) const;
    // Runs pellorzu-vkey; a failing run fails the test.
    void vkey(const std::vector<std::string>& arguments) const;
    // Creates a plugged virtual key with user PIN 12345678 and SO PIN 87654321 (or blank), cheap PBKDF2.
    void createKey(const std::string& serial, const std::vector<std::string>& extra = {}) const;
    void createBlankKey(const std::string& serial, const std::vector<std::string>& extra = {}) const;

    // A file in the world with `content` and `mode`.
    std::filesystem::path file(const std::string& name, const std::string& content,
                               unsigned mode = 0600) const;
    const std::filesystem::path& root() const { return world_.root(); }
    std::filesystem::path keysFolder() const { return world_.keysFolder(); }

private:
    CliRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const std::string& input, const std::map<std::string, std::string>& environment) const;

    TempWorld world_;
    std::filesystem::path folder_;
};
