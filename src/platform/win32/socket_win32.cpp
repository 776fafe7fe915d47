// Winsock behind CDatagramSocket. The caller starts and stops Winsock
// (SocketStartup / SocketCleanup) around its use.
#include <winsock2.h>

#include <windows.h>

#include "platform/socket.h"

namespace tw {
namespace {

SOCKET S(std::intptr_t h) { return static_cast<SOCKET>(h); }

}  // namespace

bool CDatagramSocket::Create() {
  Close();
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) {
    m_nLastError = ::WSAGetLastError();
    return false;
  }
  m_hSocket = static_cast<std::intptr_t>(s);
  return true;
}

bool CDatagramSocket::Connect(const std::string& host, int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = ::htons(static_cast<u_short>(port));
  addr.sin_addr.s_addr = ::inet_addr(host.c_str());
  if (addr.sin_addr.s_addr == INADDR_NONE) {
    const hostent* entry = ::gethostbyname(host.c_str());
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) {
      m_nLastError = entry ? WSANO_DATA : ::WSAGetLastError();
      return false;
    }
    memcpy(&addr.sin_addr, entry->h_addr_list[0], sizeof addr.sin_addr);
  }
  if (::connect(S(m_hSocket), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    m_nLastError = ::WSAGetLastError();
    return false;
  }
  return true;
}

bool CDatagramSocket::Send(const void* data, int size) {
  if (::send(S(m_hSocket), static_cast<const char*>(data), size, 0) == SOCKET_ERROR) {
    m_nLastError = ::WSAGetLastError();
    return false;
  }
  return true;
}

int CDatagramSocket::Receive(void* buffer, int size) {
  const int got = ::recv(S(m_hSocket), static_cast<char*>(buffer), size, 0);
  if (got == SOCKET_ERROR) {
    // A datagram longer than the buffer arrives cut, as wanted.
    if (::WSAGetLastError() == WSAEMSGSIZE) return size;
    m_nLastError = ::WSAGetLastError();
    return -1;
  }
  return got;
}

bool CDatagramSocket::WaitReadable(std::uint32_t timeoutMs, bool* readable) {
  *readable = false;
  fd_set set;
  FD_ZERO(&set);
  FD_SET(S(m_hSocket), &set);
  timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
  const int n = ::select(0, &set, nullptr, nullptr, &tv);
  if (n == SOCKET_ERROR) {
    m_nLastError = ::WSAGetLastError();
    return false;
  }
  *readable = n > 0;
  return true;
}

void CDatagramSocket::Close() {
  if (m_hSocket != kInvalid) ::closesocket(S(m_hSocket));
  m_hSocket = kInvalid;
}

bool CDatagramSocket::Bind(const std::string& address, int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = ::htons(static_cast<u_short>(port));
  addr.sin_addr.s_addr = ::inet_addr(address.c_str());
  if (::bind(S(m_hSocket), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    m_nLastError = ::WSAGetLastError();
    return false;
  }
  return true;
}

int CDatagramSocket::LocalPort() const {
  sockaddr_in addr{};
  int len = sizeof addr;
  if (::getsockname(S(m_hSocket), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ::ntohs(addr.sin_port);
}

int CDatagramSocket::ReceiveFrom(void* buffer, int size, SocketAddress* from) {
  sockaddr_in addr{};
  int len = sizeof addr;
  const int got = ::recvfrom(S(m_hSocket), static_cast<char*>(buffer), size, 0,
                             reinterpret_cast<sockaddr*>(&addr), &len);
  if (got == SOCKET_ERROR) {
    m_nLastError = ::WSAGetLastError();
    return -1;
  }
  from->address = ::ntohl(addr.sin_addr.s_addr);
  from->port = ::ntohs(addr.sin_port);
  return got;
}

bool CDatagramSocket::SendTo(const void* data, int size, const SocketAddress& to) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = ::htons(static_cast<u_short>(to.port));
  addr.sin_addr.s_addr = ::htonl(to.address);
  if (::sendto(S(m_hSocket), static_cast<const char*>(data), size, 0,
               reinterpret_cast<sockaddr*>(&addr), sizeof addr) == SOCKET_ERROR) {
    m_nLastError = ::WSAGetLastError();
    return false;
  }
  return true;
}

long SocketStartup(std::uint16_t requested, std::uint16_t* granted) {
  WSADATA data{};
  const int e = ::WSAStartup(requested, &data);
  if (e != 0) return e;
  *granted = data.wVersion;
  return 0;
}

void SocketCleanup() { ::WSACleanup(); }

}  // namespace tw
