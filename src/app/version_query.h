// The version check's request address and its reading of the answer.
#pragma once

#include <cstddef>
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
// Far above any real answer (a line or two of text): a server that streams
// without end is cut off here instead of filling the memory.
constexpr std::size_t kVersionAnswerLimit = 64 * 1024;
// How long the request waits for the server to connect, take the request or
// send the next bytes before the check gives up.
constexpr std::uint32_t kVersionTimeoutMs = 15000;

// Reads chunks of up to 1024 bytes, appending exactly the bytes each read
// returned, until a read fails or returns nothing, or the answer holds
// kVersionAnswerLimit bytes. A short read is not the end: the internet
// library may hand out less than asked mid-answer.
std::string ReadAnswerInChunks(const ChunkReader& read);

}  // namespace tw
