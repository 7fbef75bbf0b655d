// Reading one value of a profile (INI) file by section and key, with the rules of the Windows
// profile functions, for the "Global" section of a project file.
//
// Rules: lines end at a line feed, a carriage return, or both; blank lines and lines whose first
// non-blank character is ";" are skipped; a section starts at a line "[name]" (blanks around the
// name ignored, anything after "]" ignored; without the "]" the name runs to the line's end); a
// key line is "key=value", blanks around
// the key and the value removed, and a line without "=" defines no key. Section and key names
// match without regard to the case of ASCII letters. Only the first section of the name is
// searched, and in it the first line of the key wins. A value enclosed in a matching pair of
// double or single quotes loses them. A file that is missing or cannot be read, a missing section
// and a missing key all give the default.
#pragma once

#include <cstddef>

namespace klp {

// Copies the value of key in section of the file at path, or defaultValue (null: empty, trailing
// spaces removed) when there is none, into buffer: at most size - 1 characters followed by a NUL.
// Returns the number of characters copied, not counting the NUL; 0 when size is 0. A null
// section or key gives the default.
std::size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    char* buffer, std::size_t size, const char* path);

}  // namespace klp
