#pragma once
// The entry points of the machine's driver library RDUPSLT.DLL, as the program
// calls them. The library keeps the device handle itself, so the file-open and
// device-control argument lists come without one. 1 means success.
#include <cstdint>

namespace driver {

inline constexpr const char* kDriverLibraryName = "RDUPSLT.DLL";

using OpenFn = int (*)(const char* name, std::uint32_t access, std::uint32_t share, void* security,
                       std::uint32_t disposition, std::uint32_t flags, void* templ);
using DevIoCtlFn = int (*)(std::uint32_t code, void* request, std::uint32_t requestLength,
                           void* reply, std::uint32_t replyLength, std::uint32_t* returned,
                           void* overlapped);
using CloseFn = int (*)();
// Job data, where no print queue of the machine exists: the file-write call
// without a handle. Takes what the machine accepts within about 100 ms and
// says how much in `written` (0 while its memory is full), so that a caller
// can give up between calls.
using WriteFn = int (*)(const void* data, std::uint32_t length, std::uint32_t* written,
                        void* overlapped);
using UnusedFn = int (*)();  // Read and the four slot calls: resolved, never called

// Open's fixed arguments: read and write access, not shared, open existing, normal.
inline constexpr std::uint32_t kOpenAccess = 0xC0000000u;
inline constexpr std::uint32_t kOpenShare = 0;
inline constexpr std::uint32_t kOpenDisposition = 3;
inline constexpr std::uint32_t kOpenFlags = 128;

// Device-control codes: a command frame without reply, and a request with reply.
inline constexpr std::uint32_t IOCTL_MACHINE_WRITE = 0x220038;
inline constexpr std::uint32_t IOCTL_MACHINE_READ = 0x22003C;

}  // namespace driver
