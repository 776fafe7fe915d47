// Error codes and plain records shared by the platform interfaces. They carry
// the Win32 numbers so results read the same on every backend.
#pragma once

#include <cstdint>

namespace tw {

enum : long {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorWriteFault = 29,
  kErrorSharingViolation = 32,
  kErrorHandleDiskFull = 39,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorCallNotImplemented = 120,
  kErrorInsufficientBuffer = 122,
  kErrorDirNotEmpty = 145,
  kErrorBadPathname = 161,
  kErrorAlreadyExists = 183,
  kErrorMoreData = 234,
  kErrorNoMoreItems = 259,
  kErrorDirectory = 267,
  kErrorKeyDeleted = 1018,
  // A name or text holds a character the ANSI code page lacks.
  kErrorNoUnicodeTranslation = 1113,
  kErrorCancelled = 1223,
  kErrorPrivilegeNotHeld = 1314,
};

// SYSTEMTIME's fields, in its order.
struct SystemTime {
  std::uint16_t wYear = 0;
  std::uint16_t wMonth = 0;
  std::uint16_t wDayOfWeek = 0;
  std::uint16_t wDay = 0;
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
};

}  // namespace tw
