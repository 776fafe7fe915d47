// A UDP socket with the few operations the time client needs, named after
// the Winsock calls they stand for. Failures carry Winsock's error numbers on
// every backend (10060 for a time-out, 11001 for an unknown host), so the
// numbers the user sees are the same natively and on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

enum : long {
  kWsaEInval = 10022,
  kWsaEMsgSize = 10040,
  kWsaEAddrInUse = 10048,
  kWsaENetUnreach = 10051,
  kWsaEConnReset = 10054,
  kWsaENotConn = 10057,
  kWsaETimedOut = 10060,
  kWsaEConnRefused = 10061,
  kWsaEHostUnreach = 10065,
  kWsaNotInitialised = 10093,
  kWsaHostNotFound = 11001,
  kWsaTryAgain = 11002,
  kWsaNoRecovery = 11003,
  kWsaNoData = 11004,
};

// An IPv4 address and port, both in host order.
struct SocketAddress {
  std::uint32_t address = 0;
  int port = 0;
};

class CDatagramSocket {
 public:
  CDatagramSocket() = default;
  ~CDatagramSocket() { Close(); }
  CDatagramSocket(const CDatagramSocket&) = delete;
  CDatagramSocket& operator=(const CDatagramSocket&) = delete;

  // socket(AF_INET, SOCK_DGRAM, 0).
  bool Create();
  // Fixes the peer for Send and Receive. A dotted IPv4 address is used as it
  // is; anything else is looked up by name (first IPv4 address).
  bool Connect(const std::string& host, int port);
  bool Send(const void* data, int size);
  // recv's answer: bytes read, 0, or -1 on failure.
  int Receive(void* buffer, int size);
  // select on this socket alone. False when select itself failed; otherwise
  // *readable tells whether a datagram (or an error) is waiting.
  bool WaitReadable(std::uint32_t timeoutMs, bool* readable);
  void Close();
  bool IsOpen() const { return m_hSocket != kInvalid; }

  // The server side, for programs that answer queries (test peers).
  bool Bind(const std::string& address, int port);  // port 0: any free port
  int LocalPort() const;                            // 0 when unknown
  int ReceiveFrom(void* buffer, int size, SocketAddress* from);
  bool SendTo(const void* data, int size, const SocketAddress& to);

  // Winsock's number for the last failed call on this socket.
  long LastError() const { return m_nLastError; }

 private:
  static constexpr std::intptr_t kInvalid = -1;
  std::intptr_t m_hSocket = kInvalid;
  long m_nLastError = 0;
};

// WSAStartup / WSACleanup. The request and the granted version are packed as
// Winsock packs them (low byte major, high byte minor). 0 or an error number.
// Backends without such a step grant what was asked.
long SocketStartup(std::uint16_t requested, std::uint16_t* granted);
void SocketCleanup();

}  // namespace tw
