#include "data/loader.h"

#include <cctype>
#include <fstream>
#include <system_error>

namespace quillon::player::data {
namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

// "name:" at the start, two letters or more so that "C:" stays a drive.
bool HasScheme(std::string_view url) {
  const auto colon = url.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  if (!std::isalpha(static_cast<unsigned char>(url[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = url[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

Response ReadFile(const std::filesystem::path& path) {
  Response r;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return r;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxLoadBytes) return r;
  std::ifstream in(path, std::ios::binary);
  if (!in) return r;
  r.body.resize(static_cast<std::size_t>(size));
  in.read(r.body.data(), static_cast<std::streamsize>(size));
  if (static_cast<std::uintmax_t>(in.gcount()) != size) {
    r.body.clear();
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace

std::string PercentDecode(std::string_view s, bool plusIsSpace) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2])));
      i += 2;
    } else if (s[i] == '+' && plusIsSpace) {
      out.push_back(' ');
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

Loader::Loader(std::filesystem::path base, std::unique_ptr<HttpFetcher> http)
    : base_(std::move(base)), http_(std::move(http)) {}

// The fetcher goes first: its threads finish (or time out) while the shared list still lives.
Loader::~Loader() { http_.reset(); }

Source Loader::Classify(std::string_view url, std::filesystem::path* path) const {
  if (url.empty()) return Source::Unusable;
  if (StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://")) return Source::Web;
  std::string local;
  if (StartsWithNoCase(url, "file:")) {
    std::string_view rest = url.substr(5);
    if (rest.substr(0, 2) == "//") {
      rest.remove_prefix(2);
      // file://host/path: only the local host.
      const auto slash = rest.find('/');
      const std::string_view host = rest.substr(0, slash);
      if (!host.empty() && !StartsWithNoCase(host, "localhost")) return Source::Unusable;
      rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    }
    // "/C:/dir" is a drive path.
    if (rest.size() >= 3 && rest[0] == '/' && std::isalpha(static_cast<unsigned char>(rest[1])) &&
        (rest[2] == ':' || rest[2] == '|'))
      rest.remove_prefix(1);
    // A '+' in a file address is itself.
    std::string decoded = PercentDecode(rest, false);
    if (decoded.size() >= 2 && decoded[1] == '|') decoded[1] = ':';
    if (decoded.empty()) return Source::Unusable;
    local = decoded;
  } else if (HasScheme(url)) {
    return Source::Unusable;
  } else {
    // Local paths carry no query or fragment.
    local = std::string(url.substr(0, url.find_first_of("?#")));
    if (local.empty()) return Source::Unusable;
  }
  std::filesystem::path p = std::filesystem::u8path(local);
  if (!p.is_absolute()) {
    // "/dir/file" on Windows is on the base folder's drive.
    if (p.has_root_directory()) p = base_.root_name() / p;
    else p = base_ / p;
  }
  if (path) *path = p.lexically_normal();
  return Source::Local;
}

int Loader::Start(const Request& request) {
  const int ticket = next_++;
  std::filesystem::path path;
  const Source source = Classify(request.url, &path);
  if (source == Source::Web && http_) {
    {
      std::lock_guard lock(shared_->mutex);
      ++shared_->inFlight;
    }
    std::weak_ptr<Shared> weak = shared_;
    http_->Fetch(request, [weak, ticket](Response r) {
      if (auto shared = weak.lock()) {
        std::lock_guard lock(shared->mutex);
        --shared->inFlight;
        shared->done.emplace_back(ticket, std::move(r));
      }
    });
    return ticket;
  }
  Response r = source == Source::Local ? ReadFile(path) : Response{};
  std::lock_guard lock(shared_->mutex);
  shared_->done.emplace_back(ticket, std::move(r));
  return ticket;
}

std::vector<std::pair<int, Response>> Loader::Poll() {
  std::lock_guard lock(shared_->mutex);
  return std::exchange(shared_->done, {});
}

bool Loader::Busy() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->inFlight > 0 || !shared_->done.empty();
}

}  // namespace quillon::player::data
