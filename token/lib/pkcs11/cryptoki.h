// The PKCS#11 types, functions and constants under their standard CK_ names, from p11-kit's header.
#pragma once

#ifndef CRYPTOKI_COMPAT
#define CRYPTOKI_COMPAT 1
#endif
#include <p11-kit/pkcs11.h>
