// The version check's request address and its reading of the answer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tw {

// The configured query address (ending in "LangID=") followed by the
// language id as "%.3x" ("804" for Chinese).
std::string BuildVersionQueryUrl(const std::string& baseUrl, std::uint16_t langId);

// Reads up to `size` bytes into buf, storing the count; false on failure.
using ChunkReader = std::function<bool(char* buf, std::uint32_t size, std::uint32_t* read)>;

constexpr std::uint32_t kVersionChunkSize = 1024;

// Reads chunks of up to 1024 bytes, appending exactly the bytes each read
// returned, until a read fails or returns nothing. A short read is not the
// end: the internet library may hand out less than asked mid-answer.
std::string ReadAnswerInChunks(const ChunkReader& read);

}  // namespace tw
