// Calls into the page's script for NPRuntime browsers: a function defined on the page's window
// object, called by name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/npapi/npapi.h"

// Calls the page function name(text) or name(number). False when the browser has no NPRuntime
// or the page defines no function of that name (nothing is called then); true once called,
// whatever the function did. The page may destroy the instance meanwhile.
bool CallPageFunction(NPP instance, const char* name, const char* text);
bool CallPageFunction(NPP instance, const char* name, int32_t number);

// Text as UTF-8 for the page: valid UTF-8 as it is, anything else byte by byte as Latin-1.
std::string PageText(const char* text);
