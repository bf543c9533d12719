#pragma once
// INI-style profile files read and written one key per call, with the
// behaviour of the home platform's private-profile functions. There is no
// cached image: every call reads the file afresh. Writes are crash-safe (the
// file is replaced whole) and serialised between processes.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The buffer size the configuration reads use; a longer value is cut to size - 1.
inline constexpr std::size_t kProfileBufferSize = 125;

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path,
                              std::size_t bufferSize = kProfileBufferSize);

// The value parsed like C atoi (blanks, sign, digits, wrapping to 32 bits);
// `defaultValue` when the key is missing.
int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                   const std::string& path);

// Text converted like C atoi: leading white space, an optional sign, then
// digits up to the first other character, wrapping to 32 bits; no digits gives 0.
int ParseProfileInt(std::string_view text);

// Writes `value` exactly as given. False when the file cannot be written
// (a missing folder is not created).
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

}  // namespace platform
