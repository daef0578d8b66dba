// A tiny HTTP/1.1 server for download tests: it listens on 127.0.0.1 only,
// at a free port, serves a fixed set of routes one connection at a time on
// its own thread, and stops when destroyed or when its lifetime is over.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace mailsift::test {

// Routes:
//   /page.html      200, pageBody()
//   /moved          301 to /page.html        /found   302 to /page.html
//   /chain/N        302 to /chain/N-1; /chain/0 is the page
//   /to-ftp         302 to ftp://127.0.0.1:<port>/x
//   /to-file        302 to file:///etc/passwd
//   /stall          200 announcing 1000 bytes, sends 10, then sends nothing
//                   until the client leaves or the server stops
//   /large          200, kLargeSize bytes of largeBodyByte(0, 1, ...)
//   /agent          200, the request's User-Agent value as the body
// Hostile ones, each bounded by the server in time and bytes:
//   /drip           200 with no length, one byte every half second
//   /endless        200 with no length, kEndlessSize bytes as fast as taken
//   /announced-huge 200 announcing 16 GiB, then a few bytes
//   /gzip           pageBody() gzip-compressed, with Content-Encoding: gzip
//   /gzip-bomb      kBombSize zero bytes gzip-compressed (about 64 KiB sent)
//   /loop           302 to itself
//   /huge-header    200 with a 200 KB header line before pageBody()
//   /reset          200 announcing 1000 bytes; sends 100, then resets
//   /bad-chunked    chunked body whose second chunk size is not a number
//   anything else   404 with a short body
// Every response closes its connection. Each wait is bounded, so a stuck
// client can hold the server for seconds at most.
class HttpTestServer {
 public:
  static constexpr std::uint64_t kLargeSize = std::uint64_t{64} << 20;
  static constexpr std::uint64_t kEndlessSize = std::uint64_t{256} << 20;
  static constexpr std::uint64_t kBombSize = std::uint64_t{64} << 20;

  // Binds 127.0.0.1 at a port the system picks and starts serving. Sets
  // no_proxy and NO_PROXY to "*", so a proxy configured in the environment
  // is never asked instead. Throws std::runtime_error when it cannot listen.
  explicit HttpTestServer(std::chrono::seconds lifetime = std::chrono::seconds(120));
  // Stops serving (within a fraction of a second) and joins the thread.
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  std::uint16_t port() const noexcept { return m_port; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string url(std::string_view path) const;
  // The request targets received so far, in order. Thread-safe.
  std::vector<std::string> requests() const;

  static std::string_view pageBody();
  static char largeBodyByte(std::uint64_t index) noexcept;

 private:
  void serve();
  void handle(std::intptr_t connection);

  std::intptr_t m_listener = -1;  // a socket: a descriptor or a Winsock SOCKET
  std::uint16_t m_port = 0;
  std::chrono::steady_clock::time_point m_deadline;
  std::atomic<bool> m_stop{false};
  mutable std::mutex m_mutex;
  std::vector<std::string> m_requests;
  std::thread m_thread;
};

}  // namespace mailsift::test
