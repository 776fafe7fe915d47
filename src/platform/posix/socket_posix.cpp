// BSD sockets behind CDatagramSocket, for the native build. Errors are
// reported with the numbers Winsock would give.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/socket.h"

namespace tw {
namespace {

long WinsockError(int e) {
  switch (e) {
    case ETIMEDOUT:
      return kWsaETimedOut;
    case ECONNREFUSED:
      return kWsaEConnRefused;
    case ECONNRESET:
      return kWsaEConnReset;
    case ENETUNREACH:
      return kWsaENetUnreach;
    case EHOSTUNREACH:
      return kWsaEHostUnreach;
    case EADDRINUSE:
      return kWsaEAddrInUse;
    case EMSGSIZE:
      return kWsaEMsgSize;
    case ENOTCONN:
      return kWsaENotConn;
    case EINVAL:
      return kWsaEInval;
    default:
      return 10000 + e;  // Winsock numbers follow the BSD ones from 10000
  }
}

long LookupError(int e) {
  switch (e) {
    case EAI_NONAME:
      return kWsaHostNotFound;
    case EAI_AGAIN:
      return kWsaTryAgain;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return kWsaNoData;
#endif
    case EAI_ADDRFAMILY:
      return kWsaNoData;
    default:
      return kWsaNoRecovery;
  }
}

int Fd(std::intptr_t h) { return static_cast<int>(h); }

}  // namespace

bool CDatagramSocket::Create() {
  Close();
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) {
    m_nLastError = WinsockError(errno);
    return false;
  }
  m_hSocket = fd;
  return true;
}

bool CDatagramSocket::Connect(const std::string& host, int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = ::inet_addr(host.c_str());
  if (addr.sin_addr.s_addr == INADDR_NONE) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int e = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (e != 0 || !found) {
      m_nLastError = e != 0 ? LookupError(e) : kWsaHostNotFound;
      return false;
    }
    addr.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
  }
  if (::connect(Fd(m_hSocket), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    m_nLastError = WinsockError(errno);
    return false;
  }
  return true;
}

bool CDatagramSocket::Send(const void* data, int size) {
  if (::send(Fd(m_hSocket), data, static_cast<std::size_t>(size), 0) < 0) {
    m_nLastError = WinsockError(errno);
    return false;
  }
  return true;
}

int CDatagramSocket::Receive(void* buffer, int size) {
  // A datagram longer than the buffer is cut, as Winsock's recv cuts it.
  const ssize_t got = ::recv(Fd(m_hSocket), buffer, static_cast<std::size_t>(size), 0);
  if (got < 0) {
    m_nLastError = WinsockError(errno);
    return -1;
  }
  return static_cast<int>(got);
}

bool CDatagramSocket::WaitReadable(std::uint32_t timeoutMs, bool* readable) {
  *readable = false;
  if (m_hSocket < 0 || m_hSocket >= FD_SETSIZE) {
    m_nLastError = kWsaEInval;
    return false;
  }
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Fd(m_hSocket), &set);
  timeval tv{static_cast<time_t>(timeoutMs / 1000),
             static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
  int n;
  do {
    n = ::select(Fd(m_hSocket) + 1, &set, nullptr, nullptr, &tv);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    m_nLastError = WinsockError(errno);
    return false;
  }
  *readable = n > 0;
  return true;
}

void CDatagramSocket::Close() {
  if (m_hSocket != kInvalid) ::close(Fd(m_hSocket));
  m_hSocket = kInvalid;
}

bool CDatagramSocket::Bind(const std::string& address, int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = ::inet_addr(address.c_str());
  if (::bind(Fd(m_hSocket), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    m_nLastError = WinsockError(errno);
    return false;
  }
  return true;
}

int CDatagramSocket::LocalPort() const {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(Fd(m_hSocket), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

int CDatagramSocket::ReceiveFrom(void* buffer, int size, SocketAddress* from) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  const ssize_t got = ::recvfrom(Fd(m_hSocket), buffer, static_cast<std::size_t>(size), 0,
                                 reinterpret_cast<sockaddr*>(&addr), &len);
  if (got < 0) {
    m_nLastError = WinsockError(errno);
    return -1;
  }
  from->address = ntohl(addr.sin_addr.s_addr);
  from->port = ntohs(addr.sin_port);
  return static_cast<int>(got);
}

bool CDatagramSocket::SendTo(const void* data, int size, const SocketAddress& to) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(to.port));
  addr.sin_addr.s_addr = htonl(to.address);
  if (::sendto(Fd(m_hSocket), data, static_cast<std::size_t>(size), 0,
               reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
    m_nLastError = WinsockError(errno);
    return false;
  }
  return true;
}

long SocketStartup(std::uint16_t requested, std::uint16_t* granted) {
  *granted = requested;
  return 0;
}

void SocketCleanup() {}

}  // namespace tw
