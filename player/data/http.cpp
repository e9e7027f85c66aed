// The platform fetchers: one worker thread a fetch, each bounded by time-outs, joined when the
// fetcher goes.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>

#include "data/loader.h"

#ifdef _WIN32
#include <windows.h>
#include <winhttp.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace quillon::player::data {
namespace {

constexpr int kTimeoutMs = 15000;

class ThreadedFetcher : public HttpFetcher {
 public:
  ~ThreadedFetcher() override {
    std::list<Worker> workers;
    {
      std::lock_guard lock(mutex_);
      workers.swap(workers_);
    }
    for (auto& w : workers) w.thread.join();
  }
  void Fetch(const Request& request, std::function<void(Response)> done) override {
    std::lock_guard lock(mutex_);
    // Finished workers are joined here, so a movie that loads often keeps few threads.
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (*it->finished) {
        it->thread.join();
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
    auto finished = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({std::thread([request, done = std::move(done), finished] {
                          done(Run(request));
                          *finished = true;
                        }),
                        finished});
  }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  static Response Run(const Request& request);
  std::mutex mutex_;
  std::list<Worker> workers_;
};

#ifdef _WIN32

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

struct InternetHandle {
  HINTERNET h = nullptr;
  explicit InternetHandle(HINTERNET handle) : h(handle) {}
  ~InternetHandle() {
    if (h) WinHttpCloseHandle(h);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
};

Response ThreadedFetcher::Run(const Request& request) {
  Response r;
  const std::wstring url = Widen(request.url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  wchar_t host[256] = {}, path[4096] = {}, extra[4096] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 4096;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = 4096;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return r;
  InternetHandle session(WinHttpOpen(L"Quillon", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session.h) return r;
  WinHttpSetTimeouts(session.h, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs);
  InternetHandle connection(WinHttpConnect(session.h, host, parts.nPort, 0));
  if (!connection.h) return r;
  const std::wstring target = std::wstring(path) + extra;
  const bool post = request.method == "POST";
  InternetHandle req(WinHttpOpenRequest(connection.h, post ? L"POST" : L"GET", target.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
  if (!req.h) return r;
  std::wstring headers;
  if (post) headers += L"Content-Type: " + Widen(request.contentType) + L"\r\n";
  for (const auto& [name, value] : request.headers) headers += Widen(name) + L": " + Widen(value) + L"\r\n";
  if (!WinHttpSendRequest(req.h, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                          headers.empty() ? 0 : static_cast<DWORD>(-1),
                          post ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA,
                          post ? static_cast<DWORD>(request.body.size()) : 0,
                          post ? static_cast<DWORD>(request.body.size()) : 0, 0) ||
      !WinHttpReceiveResponse(req.h, nullptr))
    return r;
  DWORD status = 0, size = sizeof status;
  WinHttpQueryHeaders(req.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                      &status, &size, WINHTTP_NO_HEADER_INDEX);
  r.status = static_cast<int>(status);
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(req.h, &available)) return Response{false, r.status, {}};
    if (available == 0) break;
    if (r.body.size() + available > kMaxLoadBytes) return Response{false, r.status, {}};
    const std::size_t at = r.body.size();
    r.body.resize(at + available);
    DWORD read = 0;
    if (!WinHttpReadData(req.h, r.body.data() + at, available, &read)) return Response{false, r.status, {}};
    r.body.resize(at + read);
  }
  r.ok = r.status > 0 && r.status < 400;
  return r;
}

#else

struct Socket {
  int fd = -1;
  ~Socket() {
    if (fd >= 0) close(fd);
  }
};

struct AddressList {
  addrinfo* list = nullptr;
  ~AddressList() {
    if (list) freeaddrinfo(list);
  }
};

// http://host[:port]/path only; https needs a platform library this build does not use.
Response ThreadedFetcher::Run(const Request& request) {
  Response r;
  std::string_view url = request.url;
  if (url.size() < 7) return r;
  std::string scheme(url.substr(0, 7));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
  if (scheme != "http://") return r;
  url.remove_prefix(7);
  const auto slash = url.find_first_of("/?#");
  std::string authority(url.substr(0, slash));
  std::string path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  path = path.substr(0, path.find('#'));
  if (path.empty() || path[0] != '/') path = "/" + path;
  if (const auto at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  std::string host = authority, port = "80";
  if (const auto colon = authority.rfind(':'); colon != std::string::npos && authority.find(']') == std::string::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (!host.empty() && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty() || port.empty()) return r;

  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  AddressList addresses;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &addresses.list) != 0) return r;
  Socket sock;
  timeval timeout{kTimeoutMs / 1000, 0};
  for (addrinfo* a = addresses.list; a; a = a->ai_next) {
    Socket s;
    s.fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s.fd < 0) continue;
    setsockopt(s.fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(s.fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (connect(s.fd, a->ai_addr, a->ai_addrlen) == 0) {
      std::swap(sock.fd, s.fd);
      break;
    }
  }
  if (sock.fd < 0) return r;

  const bool post = request.method == "POST";
  std::string head = (post ? "POST " : "GET ") + path + " HTTP/1.0\r\nHost: " + authority + "\r\nConnection: close\r\n";
  if (post) {
    head += "Content-Type: " + request.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  }
  for (const auto& [name, value] : request.headers) head += name + ": " + value + "\r\n";
  head += "\r\n";
  if (post) head += request.body;
  for (std::size_t sent = 0; sent < head.size();) {
    const ssize_t n = send(sock.fd, head.data() + sent, head.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return r;
    sent += static_cast<std::size_t>(n);
  }
  std::string answer;
  char buffer[16384];
  for (;;) {
    const ssize_t n = recv(sock.fd, buffer, sizeof buffer, 0);
    if (n < 0) return r;
    if (n == 0) break;
    answer.append(buffer, static_cast<std::size_t>(n));
    if (answer.size() > kMaxLoadBytes) return r;
  }
  const auto end = answer.find("\r\n\r\n");
  if (answer.compare(0, 5, "HTTP/") != 0 || end == std::string::npos) return r;
  const auto space = answer.find(' ');
  if (space == std::string::npos || space > end) return r;
  r.status = std::atoi(answer.c_str() + space + 1);
  r.body = answer.substr(end + 4);
  // A stated length shorter than what came is the body; a longer one means the answer broke off.
  std::string headers = answer.substr(0, end);
  std::transform(headers.begin(), headers.end(), headers.begin(), [](unsigned char c) { return std::tolower(c); });
  if (const auto cl = headers.find("\r\ncontent-length:"); cl != std::string::npos) {
    const long long length = std::atoll(headers.c_str() + cl + 17);
    if (length < 0 || static_cast<unsigned long long>(length) > r.body.size()) return Response{false, r.status, {}};
    r.body.resize(static_cast<std::size_t>(length));
  }
  r.ok = r.status > 0 && r.status < 400;
  return r;
}

#endif

}  // namespace

std::unique_ptr<HttpFetcher> MakeHttpFetcher() { return std::make_unique<ThreadedFetcher>(); }

}  // namespace quillon::player::data
