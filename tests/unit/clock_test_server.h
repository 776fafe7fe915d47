// A scripted SNTP server on loopback for the clock tests: it answers each
// request the way its script says, including the ways a real server never
// would. Built on the program's own socket layer, so it runs natively and
// under Wine alike.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

#include "clock_sync/network_timestamp.h"
#include "platform/socket.h"

namespace tw::test {

enum class ReplyScript {
  kGood,            // a proper server reply, stratum 2
  kLong,            // a proper reply followed by a key identifier and digest (68 bytes) and more
  kSilent,          // never answers
  kWrongOriginate,  // originate timestamp not the request's transmit timestamp
  kStratum0,        // kiss-o'-death
  kStratum16,
  kLeap3,    // server not synchronised
  kMode3,    // a client packet, not a server's
  kShort20,  // only 20 bytes
  kZeroTransmit,
};

class CScriptedTimeServer {
 public:
  // offsetSeconds: how far the server's clock runs ahead of the host's.
  explicit CScriptedTimeServer(ReplyScript script, double offsetSeconds = 0)
      : m_script(script), m_dOffset(offsetSeconds) {
    m_bReady = m_socket.Create() && m_socket.Bind("127.0.0.1", 0);
    m_nPort = m_bReady ? m_socket.LocalPort() : 0;
    if (m_bReady) m_thread = std::thread([this] { Serve(); });
  }
  ~CScriptedTimeServer() {
    m_bStop = true;
    if (m_thread.joinable()) m_thread.join();
  }
  bool Ready() const { return m_bReady && m_nPort != 0; }
  int Port() const { return m_nPort; }
  int Requests() const { return m_nRequests; }

  static CNetworkTimestamp HostNow() {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    const std::uint64_t s = static_cast<std::uint64_t>(ns / 1000000000) + kNtpToUnixSeconds;
    const std::uint64_t frac = (static_cast<std::uint64_t>(ns % 1000000000) << 32) / 1000000000;
    return CNetworkTimestamp((s << 32) | frac);
  }

 private:
  void Serve() {
    while (!m_bStop) {
      bool readable = false;
      if (!m_socket.WaitReadable(20, &readable)) return;
      if (!readable) continue;
      std::uint8_t in[128] = {};
      SocketAddress from;
      const int got = m_socket.ReceiveFrom(in, sizeof in, &from);
      if (got < 48) continue;
      ++m_nRequests;
      if (m_script == ReplyScript::kSilent) continue;
      const CNetworkTimestamp received = HostNow().PlusSeconds(m_dOffset);
      std::uint8_t out[100] = {};
      out[0] = 0x1C;  // leap 0, version 3, mode 4
      out[1] = 2;
      std::memcpy(out + 24, in + 40, 8);  // originate = the request's transmit
      Put(out + 32, received);
      Put(out + 40, HostNow().PlusSeconds(m_dOffset));
      int size = 48;
      switch (m_script) {
        case ReplyScript::kLong:
          size = 90;
          break;
        case ReplyScript::kWrongOriginate:
          out[31] ^= 0x01;
          break;
        case ReplyScript::kStratum0:
          out[1] = 0;
          std::memcpy(out + 12, "RATE", 4);
          break;
        case ReplyScript::kStratum16:
          out[1] = 16;
          break;
        case ReplyScript::kLeap3:
          out[0] = 0xDC;
          break;
        case ReplyScript::kMode3:
          out[0] = 0x1B;
          break;
        case ReplyScript::kShort20:
          size = 20;
          break;
        case ReplyScript::kZeroTransmit:
          std::memset(out + 40, 0, 8);
          break;
        default:
          break;
      }
      m_socket.SendTo(out, size, from);
    }
  }
  static void Put(std::uint8_t* p, const CNetworkTimestamp& t) {
    std::uint32_t s, f;
    t.ToNetwork(&s, &f);
    std::memcpy(p, &s, 4);
    std::memcpy(p + 4, &f, 4);
  }

  CDatagramSocket m_socket;
  ReplyScript m_script;
  double m_dOffset;
  bool m_bReady = false;
  int m_nPort = 0;
  std::atomic<bool> m_bStop{false};
  std::atomic<int> m_nRequests{0};
  std::thread m_thread;
};

}  // namespace tw::test
