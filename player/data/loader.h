// Where a movie's data comes from: local files beside it (or anywhere, by absolute path or a
// file: address) and web addresses through a platform fetcher. Every load completes later, from
// Poll on the player's tick, never inside the call that started it.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::player::data {

struct Request {
  std::string url;
  std::string method = "GET";  // "GET" or "POST"
  std::string body;            // sent with POST
  std::string contentType = "application/x-www-form-urlencoded";
  std::vector<std::pair<std::string, std::string>> headers;
};

struct Response {
  bool ok = false;  // the data arrived (a web status of 400 or more counts as a failure)
  int status = 0;   // the web status; 0 for local files and for no answer
  std::string body;
};

// Bounds what one load may bring in.
inline constexpr std::size_t kMaxLoadBytes = 64u << 20;

// Fetches web addresses away from the caller's thread; `done` may run on any thread, once.
class HttpFetcher {
 public:
  virtual ~HttpFetcher() = default;
  virtual void Fetch(const Request& request, std::function<void(Response)> done) = 0;
};

// The platform's fetcher: WinHTTP on Windows (http and https), a plain socket client for
// http:// elsewhere (https fails there). Its destructor waits for fetches in flight, which
// all give up after their time-outs.
std::unique_ptr<HttpFetcher> MakeHttpFetcher();

enum class Source { Local, Web, Unusable };

class Loader {
 public:
  // Relative addresses resolve against `base`; web addresses go to `http` (none: they fail).
  explicit Loader(std::filesystem::path base, std::unique_ptr<HttpFetcher> http = MakeHttpFetcher());
  ~Loader();
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;

  // Starts a load; its ticket comes back from Poll with the response.
  int Start(const Request& request);
  // The loads finished since the last call, in the order they finished.
  std::vector<std::pair<int, Response>> Poll();
  bool Busy() const;

  // What an address names: a local file (its path in `path`), a web address, or nothing usable.
  Source Classify(std::string_view url, std::filesystem::path* path = nullptr) const;
  const std::filesystem::path& base() const { return base_; }

 private:
  struct Shared {
    std::mutex mutex;
    std::vector<std::pair<int, Response>> done;
    int inFlight = 0;
  };
  std::filesystem::path base_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::unique_ptr<HttpFetcher> http_;
  int next_ = 1;
};

// "%41" decoding of an address part, and "+" as a space where `plusIsSpace`.
std::string PercentDecode(std::string_view s, bool plusIsSpace = true);

}  // namespace quillon::player::data
