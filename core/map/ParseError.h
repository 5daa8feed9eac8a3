// How the image and XML parsers report a malformed input inside: they throw
// lib::IlligalArgumentException with a short reason, and their entry points
// catch the lib family and turn it into their result.
#pragma once

#include "util/Exception.h"

[[noreturn]] inline void ThrowParseError(const char* reason) {
  throw lib::IlligalArgumentException(reason);
}
