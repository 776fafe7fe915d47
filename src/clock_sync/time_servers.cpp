#include "clock_sync/time_servers.h"

#include <cstdlib>

namespace tw {

std::vector<TimeServer> DefaultTimeServers() {
  return {
      {"tick.usno.navy.mil", "", 123, 57857},  // US Naval Observatory
      {"time.nist.gov", "", 123, 57858},       // NIST
      {"clock.psu.edu", "", 123, 57859},       // Penn State University
      {"ntp0.nl.net", "", 123, 57860},         // Amsterdam
  };
}

std::vector<TimeServer> ParseTimeServerList(const std::string& text) {
  std::vector<TimeServer> list;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = text.substr(start, end - start);
    start = end + 1;
    const std::size_t eq = entry.find('=');
    std::string address = entry.substr(0, eq);
    TimeServer server;
    server.description = eq == std::string::npos ? "" : entry.substr(eq + 1);
    const std::size_t colon = address.rfind(':');
    if (colon != std::string::npos) {
      const std::string digits = address.substr(colon + 1);
      char* stop = nullptr;
      const long port = std::strtol(digits.c_str(), &stop, 10);
      if (digits.empty() || *stop != '\0' || port < 1 || port > 65535) continue;
      server.port = static_cast<int>(port);
      address.resize(colon);
    }
    if (address.empty()) continue;
    server.host = address;
    list.push_back(server);
  }
  return list;
}

std::vector<TimeServer> TimeServerList() {
#ifdef TW_TEST_HOOKS
  if (const char* override = std::getenv("TIDEWELL_TEST_TIME_SERVERS"); override && *override) {
    std::vector<TimeServer> list = ParseTimeServerList(override);
    if (!list.empty()) return list;
  }
#endif
  return DefaultTimeServers();
}

}  // namespace tw
