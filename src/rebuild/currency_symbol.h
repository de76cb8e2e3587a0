// The user's currency symbol, for showing money values in the preview.
//
// The symbol comes from the user's default locale (the environment's LC_ALL,
// LC_MONETARY, LANG) opened as a private locale object: the process's locale,
// which value rendering and the destination engine's conversions follow, is
// never changed.
#pragma once

#include <string>

namespace tessaly::rebuild {

// The currency symbol of the locale named `locale_name` ("" = the user's
// default), converted to UTF-8 from the locale's character set. Empty when the
// locale has no symbol, cannot be loaded, or its symbol cannot be converted.
std::string currency_symbol_of(const char* locale_name);

// currency_symbol_of("").
std::string user_currency_symbol();

}  // namespace tessaly::rebuild
