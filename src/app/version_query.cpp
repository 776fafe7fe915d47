#include "app/version_query.h"

#include <algorithm>
#include <cstdio>

namespace tw {

std::string BuildVersionQueryUrl(const std::string& baseUrl, std::uint16_t langId) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.3x", static_cast<unsigned>(langId));
  return baseUrl + buf;
}

std::string ReadAnswerInChunks(const ChunkReader& read) {
  std::string answer;
  char buf[kVersionChunkSize];
  while (answer.size() < kVersionAnswerLimit) {
    std::uint32_t got = 0;
    if (!read(buf, kVersionChunkSize, &got)) break;
    if (got > kVersionChunkSize) got = kVersionChunkSize;  // never trust a count past the buffer
    if (got == 0) break;
    answer.append(buf, std::min<std::size_t>(got, kVersionAnswerLimit - answer.size()));
  }
  return answer;
}

}  // namespace tw
