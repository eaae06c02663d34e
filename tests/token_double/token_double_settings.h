// What the test token module makes of the token it wraps, read from a settings file and the environment when
// the module is initialised. The file named by PZ_TEST_TOKEN_SETTINGS holds `name = value` lines; an
// environment variable PZ_TEST_TOKEN_<NAME> (upper case) overrides the line of that name.
//
//   module          the PKCS#11 module wrapped (required)
//   delay_ms        the delay added to each delayed call
//   delayed         the functions delayed, separated by commas ("C_Login,C_FindObjects"); "*" for all
//   pin_pad         1: the token has a protected authentication path; a login without a PIN passes on
//   pin, so_pin     the user and SO PINs "typed on the reader"
//   new_pin, new_so_pin  the new PINs "typed on the reader" when a PIN is set there; once set, they are
//                   the PINs typed from then on
//   write_protected 1: the token is write-protected and refuses every write with CKR_TOKEN_WRITE_PROTECTED
//   no_login        1: the token needs no login (its CKF_LOGIN_REQUIRED is taken away)
//   vanish_during   the token is pulled out during the first call of this function, after its delay
//   vanish_file     the token is pulled out while this file exists
#pragma once

#include <set>
#include <string>

namespace token_double {

struct Settings {
    std::string module;
    int delayMs = 0;
    bool delayAll = false;
    std::set<std::string> delayed;
    bool pinPad = false;
    std::string userPin;
    std::string soPin;
    std::string newUserPin;
    std::string newSoPin;
    bool writeProtected = false;
    bool noLogin = false;
    std::string vanishDuring;
    std::string vanishFile;

    bool isDelayed(const std::string& function) const { return delayAll || delayed.count(function) > 0; }
};

// The settings of this process: the file of PZ_TEST_TOKEN_SETTINGS with the environment over it. Lines that
// are not `name = value` and unknown names are ignored; a number that does not read is 0.
Settings readSettings();

} // namespace token_double
