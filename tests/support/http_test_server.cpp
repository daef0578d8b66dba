// The loopback HTTP server for download tests, on plain sockets: POSIX
// ones, or Winsock, whose few differences are named at the top.
#include "support/http_test_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "support/system.h"

namespace mailsift::test {
namespace {

#ifdef _WIN32
using SocketId = SOCKET;
using IoSize = int;
using IoLength = int;  // what send takes for a length
constexpr int kNoSignal = 0;
constexpr int kShutWrite = SD_SEND;
int closeSocket(SocketId id) { return ::closesocket(id); }
int pollSockets(pollfd* entries, unsigned long count, int ms) { return ::WSAPoll(entries, count, ms); }
SocketId newSocket() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  });
  return ::socket(AF_INET, SOCK_STREAM, 0);
}
SocketId acceptOne(SocketId listener) { return ::accept(listener, nullptr, nullptr); }
bool isOpen(SocketId id) { return id != INVALID_SOCKET; }
bool retry() { return ::WSAGetLastError() == WSAEWOULDBLOCK || ::WSAGetLastError() == WSAEINTR; }
#else
using SocketId = int;
using IoSize = ssize_t;
using IoLength = std::size_t;
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kShutWrite = SHUT_WR;
int closeSocket(SocketId id) { return ::close(id); }
int pollSockets(pollfd* entries, nfds_t count, int ms) { return ::poll(entries, count, ms); }
SocketId newSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
SocketId acceptOne(SocketId listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }
bool isOpen(SocketId id) { return id >= 0; }
bool retry() { return errno == EINTR || errno == EAGAIN; }
#endif

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Each poll waits this long at most, so a stop request is seen quickly.
constexpr int kPollMs = 50;
// A request must arrive, and each piece of a response must be taken by the
// client, within this time.
constexpr auto kIoLimit = std::chrono::seconds(5);
// The longest /stall and /drip hold a connection open.
constexpr auto kStallLimit = std::chrono::seconds(30);
constexpr auto kDripLimit = std::chrono::seconds(10);
constexpr std::size_t kMaxRequestBytes = 64 * 1024;

constexpr std::string_view kPage =
    "<html><body>\r\n"
    "<p>Write to <a href=\"mailto:Anna.Berg@Example.com\">Anna.Berg@Example.com</a>\r\n"
    "or to office(at)firma.de, not to someone@host.invalidtld.</p>\r\n"
    "</body></html>\r\n";

class Socket {
 public:
  explicit Socket(SocketId fd) : m_fd(fd) {}
  ~Socket() {
    if (isOpen(m_fd)) closeSocket(m_fd);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SocketId get() const { return m_fd; }

 private:
  SocketId m_fd;
};

// Waits for `events` on `fd` for one poll step. Returns the events seen.
short pollOnce(SocketId fd, short events) {
  pollfd entry{fd, events, 0};
  const int ready = pollSockets(&entry, 1, kPollMs);
  return ready > 0 ? entry.revents : 0;
}

std::string lower(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return result;
}

// `text` followed by `zeros` zero bytes, as one gzip member. Zeros pack
// about a thousand to one.
std::string gzipped(std::string_view text, std::uint64_t zeros = 0) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("zlib");
  std::string out;
  const std::string zeroBlock(std::size_t{1} << 20, '\0');
  char buffer[1 << 16];
  const auto pump = [&](const char* data, std::size_t size, int flush) {
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = static_cast<uInt>(size);
    do {
      stream.next_out = reinterpret_cast<Bytef*>(buffer);
      stream.avail_out = sizeof buffer;
      deflate(&stream, flush);
      out.append(buffer, sizeof buffer - stream.avail_out);
    } while (stream.avail_out == 0);
  };
  pump(text.data(), text.size(), Z_NO_FLUSH);
  for (std::uint64_t done = 0; done < zeros; done += zeroBlock.size()) {
    pump(zeroBlock.data(), static_cast<std::size_t>(std::min<std::uint64_t>(zeroBlock.size(), zeros - done)),
         Z_NO_FLUSH);
  }
  pump(nullptr, 0, Z_FINISH);
  deflateEnd(&stream);
  return out;
}

struct Request {
  std::string target;
  std::string userAgent;
};

}  // namespace

HttpTestServer::HttpTestServer(std::chrono::seconds lifetime) : m_deadline(Clock::now() + lifetime) {
  setEnvironment("no_proxy", "*");
  setEnvironment("NO_PROXY", "*");
  const SocketId listener = newSocket();
  if (!isOpen(listener)) throw std::runtime_error("socket failed");
  m_listener = static_cast<std::intptr_t>(listener);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = 0;                              // any free port
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // 127.0.0.1 and nothing else
  socklen_t size = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closeSocket(listener);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { serve(); });
}

HttpTestServer::~HttpTestServer() {
  m_stop = true;
  m_thread.join();
  closeSocket(static_cast<SocketId>(m_listener));
}

std::string HttpTestServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

std::vector<std::string> HttpTestServer::requests() const {
  const std::lock_guard lock(m_mutex);
  return m_requests;
}

std::string_view HttpTestServer::pageBody() { return kPage; }

char HttpTestServer::largeBodyByte(std::uint64_t index) noexcept {
  // 251 is prime, so the pattern does not line up with any buffer size.
  return static_cast<char>('!' + index % 251 % 94);
}

void HttpTestServer::serve() {
  while (!m_stop && Clock::now() < m_deadline) {
    const auto listener = static_cast<SocketId>(m_listener);
    if ((pollOnce(listener, POLLIN) & POLLIN) == 0) continue;
    const SocketId connection = acceptOne(listener);
    if (isOpen(connection)) handle(static_cast<std::intptr_t>(connection));
  }
}

void HttpTestServer::handle(std::intptr_t id) {
  const auto fd = static_cast<SocketId>(id);
  const Socket connection(fd);
  const auto stopped = [this] { return m_stop.load() || Clock::now() >= m_deadline; };

  // Sends all of `data`; false when the client left or stopped taking bytes.
  const auto sendAll = [&](std::string_view data) {
    auto lastProgress = Clock::now();
    while (!data.empty()) {
      if (stopped() || Clock::now() - lastProgress > kIoLimit) return false;
      if ((pollOnce(fd, POLLOUT) & (POLLOUT | POLLERR | POLLHUP)) == 0) continue;
      const auto piece = static_cast<IoLength>(std::min<std::size_t>(data.size(), 1 << 20));
      const IoSize sent = ::send(fd, data.data(), piece, kNoSignal);
      if (sent < 0) {
        if (retry()) continue;
        return false;
      }
      data.remove_prefix(static_cast<std::size_t>(sent));
      lastProgress = Clock::now();
    }
    return true;
  };
  // Waits until the client closes its side, or `limit` passes; true when
  // the client closed.
  const auto waitForClose = [&](Clock::duration limit) {
    const auto until = Clock::now() + limit;
    char scratch[4096];
    while (!stopped() && Clock::now() < until) {
      if ((pollOnce(fd, POLLIN) & (POLLIN | POLLERR | POLLHUP)) == 0) continue;
      if (::recv(fd, scratch, sizeof scratch, 0) <= 0) return true;
    }
    return false;
  };

  // The request head, up to the empty line.
  std::string head;
  const auto readUntil = Clock::now() + kIoLimit;
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (stopped() || Clock::now() >= readUntil || head.size() > kMaxRequestBytes) return;
    if ((pollOnce(fd, POLLIN) & (POLLIN | POLLERR | POLLHUP)) == 0) continue;
    char chunk[4096];
    const IoSize got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) return;
    head.append(chunk, static_cast<std::size_t>(got));
  }
  Request request;
  {
    const std::size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const std::size_t first = line.find(' ');
    const std::size_t second = line.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) return;
    request.target = line.substr(first + 1, second - first - 1);
    const std::string lowered = lower(head);
    if (const std::size_t at = lowered.find("\r\nuser-agent:"); at != std::string::npos) {
      const std::size_t valueStart = head.find_first_not_of(' ', at + 13);
      request.userAgent = head.substr(valueStart, head.find("\r\n", valueStart) - valueStart);
    }
  }
  {
    const std::lock_guard lock(m_mutex);
    m_requests.push_back(request.target);
  }

  const auto respond = [&](std::string_view status, std::string_view extraHeaders, std::string_view body,
                           std::uint64_t announced) {
    std::string response = "HTTP/1.1 " + std::string(status) + "\r\nContent-Length: " + std::to_string(announced) +
                           "\r\nConnection: close\r\n" + std::string(extraHeaders) + "\r\n";
    response.append(body);
    return sendAll(response);
  };
  // A response head without a length: the body ends when the connection does.
  const auto sendHead = [&](std::string_view status, std::string_view extraHeaders) {
    return sendAll("HTTP/1.1 " + std::string(status) + "\r\nConnection: close\r\n" + std::string(extraHeaders) +
                   "\r\n");
  };
  const auto redirect = [&](std::string_view status, const std::string& location) {
    return respond(status, "Location: " + location + "\r\nContent-Type: text/plain\r\n", "moved", 5);
  };

  const std::string& target = request.target;
  bool done = true;
  if (target == "/page.html" || target == "/chain/0") {
    done = respond("200 OK", "Content-Type: text/html\r\n", kPage, kPage.size());
  } else if (target == "/moved") {
    done = redirect("301 Moved Permanently", "/page.html");
  } else if (target == "/found") {
    done = redirect("302 Found", url("/page.html"));
  } else if (target.starts_with("/chain/")) {
    const long step = std::strtol(target.c_str() + 7, nullptr, 10);
    done = redirect("302 Found", "/chain/" + std::to_string(step > 0 ? step - 1 : 0));
  } else if (target == "/to-ftp") {
    done = redirect("302 Found", "ftp://127.0.0.1:" + std::to_string(m_port) + "/x");
  } else if (target == "/to-file") {
    done = redirect("302 Found", "file:///etc/passwd");
  } else if (target == "/agent") {
    done = respond("200 OK", "Content-Type: text/plain\r\n", request.userAgent, request.userAgent.size());
  } else if (target == "/stall") {
    if (respond("200 OK", "Content-Type: text/plain\r\n", "0123456789", 1000)) waitForClose(kStallLimit);
    return;
  } else if (target == "/large") {
    done = respond("200 OK", "Content-Type: application/octet-stream\r\n", "", kLargeSize);
    std::string chunk(std::size_t{1} << 18, '\0');
    for (std::uint64_t sent = 0; done && sent < kLargeSize; sent += chunk.size()) {
      for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = largeBodyByte(sent + i);
      done = sendAll(chunk);
    }
  } else if (target == "/drip") {
    done = sendHead("200 OK", "Content-Type: text/plain\r\n");
    const auto until = Clock::now() + kDripLimit;
    while (done && Clock::now() < until) done = sendAll("a") && !waitForClose(milliseconds(500)) && !stopped();
    return;
  } else if (target == "/endless") {
    done = sendHead("200 OK", "Content-Type: text/plain\r\n");
    const std::string chunk(std::size_t{1} << 18, 'x');
    for (std::uint64_t sent = 0; done && sent < kEndlessSize; sent += chunk.size()) done = sendAll(chunk);
  } else if (target == "/announced-huge") {
    if (respond("200 OK", "Content-Type: text/plain\r\n", "0123456789", std::uint64_t{16} << 30)) {
      waitForClose(kIoLimit);
    }
    return;
  } else if (target == "/gzip") {
    static const std::string packed = gzipped(kPage);
    done = respond("200 OK", "Content-Type: text/html\r\nContent-Encoding: gzip\r\n", packed, packed.size());
  } else if (target == "/gzip-bomb") {
    static const std::string bomb = gzipped("", kBombSize);
    done = respond("200 OK", "Content-Type: text/html\r\nContent-Encoding: gzip\r\n", bomb, bomb.size());
  } else if (target == "/loop") {
    done = redirect("302 Found", "/loop");
  } else if (target == "/huge-header") {
    const std::string filler = "X-Filler: " + std::string(200'000, 'f') + "\r\n";
    done = respond("200 OK", "Content-Type: text/html\r\n" + filler, kPage, kPage.size());
  } else if (target == "/reset") {
    if (respond("200 OK", "Content-Type: text/plain\r\n", std::string(100, 'r'), 1000)) {
      // Closing with a zero linger time sends a reset instead of an orderly end.
      const linger abort{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    }
    return;
  } else if (target == "/bad-chunked") {
    done = sendHead("200 OK", "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\n") &&
           sendAll("5\r\nhello\r\nzz\r\nworld\r\n0\r\n\r\n");
  } else {
    done = respond("404 Not Found", "Content-Type: text/plain\r\n", "not found", 9);
  }
  if (!done) return;
  ::shutdown(fd, kShutWrite);
  waitForClose(std::chrono::seconds(1));
}

}  // namespace mailsift::test
