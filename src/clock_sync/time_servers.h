// The time servers the clock page offers.
#pragma once

#include <string>
#include <vector>

namespace tw {

struct TimeServer {
  std::string host;         // DNS name or dotted IPv4 address
  std::string description;  // UTF-8, for a server without a text of its own
  int port = 123;
  // The string-table id of the description, so that it speaks the interface
  // language; 0 for a server named from outside (the test list).
  unsigned descriptionId = 0;
};

// The four public servers the program ships with, described by 57857-57860.
std::vector<TimeServer> DefaultTimeServers();

// "host[:port]=description" entries separated by ";". Entries without a
// host, or with a port outside 1-65535, are skipped.
std::vector<TimeServer> ParseTimeServerList(const std::string& text);

// The list the page shows: the shipped one. A build made for the end-to-end
// tests (TW_TEST_HOOKS) takes the list from the environment variable
// TIDEWELL_TEST_TIME_SERVERS when it is set, so that the page can be pointed
// at a server on the test machine.
std::vector<TimeServer> TimeServerList();

}  // namespace tw
