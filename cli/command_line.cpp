#include "command_line.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "swf_facts.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "0"
#endif

namespace quillon::cli {
namespace {

using convert::Outcome;

enum class Mode { Convert, Info, Extract };

struct Options {
  Mode mode = Mode::Convert;
  std::vector<std::wstring> files;
  std::optional<std::wstring> output, dir, stub;
  bool quiet = false, help = false, version = false;
};

// Files at least this large get a progress bar when standard error is a terminal.
constexpr std::uint64_t kProgressFrom = 16u << 20;
constexpr int kBarWidth = 30;
// Enough of a movie for its header and first tag, however it is compressed.
constexpr std::size_t kHeadBytes = 64u << 10;

std::wstring Widen(const char* s) { return std::wstring(s, s + std::char_traits<char>::length(s)); }

std::wstring Number(std::uint64_t n) { return std::to_wstring(n); }

std::optional<std::wstring> ParseArguments(const std::vector<std::wstring>& args, Options& o) {
  bool optionsDone = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    if (optionsDone || a.size() < 2 || a[0] != L'-') {
      o.files.push_back(a);
      continue;
    }
    // A value either follows as the next argument or after '=' in the long form.
    auto value = [&](std::wstring_view name, std::optional<std::wstring>& into) -> std::optional<std::wstring> {
      if (into) return L"'" + std::wstring(name) + L"' is given twice";
      if (i + 1 >= args.size()) return L"'" + std::wstring(name) + L"' needs a file name";
      into = args[++i];
      return std::nullopt;
    };
    std::wstring name = a, inlineValue;
    bool hasInline = false;
    if (a.rfind(L"--", 0) == 0) {
      if (const auto eq = a.find(L'='); eq != std::wstring::npos) {
        name = a.substr(0, eq);
        inlineValue = a.substr(eq + 1);
        hasInline = true;
      }
    }
    std::optional<std::wstring>* target = nullptr;
    if (name == L"--") {
      optionsDone = true;
    } else if (name == L"-h" || name == L"--help") {
      o.help = true;
    } else if (name == L"--version") {
      o.version = true;
    } else if (name == L"-q" || name == L"--quiet") {
      o.quiet = true;
    } else if (name == L"--info" || name == L"--extract") {
      const Mode m = name == L"--info" ? Mode::Info : Mode::Extract;
      if (o.mode != Mode::Convert && o.mode != m) return L"'--info' and '--extract' cannot be used together";
      o.mode = m;
    } else if (name == L"-o" || name == L"--output") {
      target = &o.output;
    } else if (name == L"-d" || name == L"--dir") {
      target = &o.dir;
    } else if (name == L"--stub") {
      target = &o.stub;
    } else {
      return L"unknown option '" + a + L"'";
    }
    if (hasInline && !target) return L"'" + name + L"' takes no value";
    if (target) {
      if (hasInline) {
        if (*target) return L"'" + name + L"' is given twice";
        *target = inlineValue;
      } else if (auto why = value(name, *target)) {
        return why;
      }
      if ((*target)->empty()) return L"'" + name + L"' needs a file name";
    }
  }
  if (o.help || o.version) return std::nullopt;
  if (o.files.empty())
    return o.mode == Mode::Info ? L"--info needs a movie or projector"
           : o.mode == Mode::Extract ? L"--extract needs a projector" : L"no movie given";
  if (o.output && o.dir) return L"'-o' and '-d' cannot be used together";
  if (o.output && o.files.size() > 1) return L"'-o' names one output; use '-d' for several files";
  if (o.mode == Mode::Info && (o.output || o.dir)) return L"--info writes no file, so it takes no '-o' or '-d'";
  if (o.mode != Mode::Convert && o.stub) return L"'--stub' is for converting";
  return std::nullopt;
}

class Runner {
 public:
  Runner(Platform& p, const Options& o) : p_(p), o_(o) {}

  int Main() {
    if (o_.mode == Mode::Info) return Each([&](const std::wstring& f) { return Info(f); });
    std::vector<std::uint8_t> stubFile;
    std::span<const std::uint8_t> stub;
    if (o_.mode == Mode::Convert) {
      if (o_.stub) {
        if (const int s = LoadStub(*o_.stub, stubFile); s != kOk) return s;
        stub = stubFile;
      } else {
        stub = p_.EmbeddedStub();
        if (stub.empty()) {
          Fail(L"this program carries no player stub; give one with '--stub'");
          return kBadStub;
        }
      }
    }
    int failed = 0;
    const int status = Each([&](const std::wstring& f) {
      const int s = o_.mode == Mode::Convert ? Convert(stub, f) : Extract(f);
      failed += s != kOk;
      return s;
    });
    if (o_.files.size() > 1 && !o_.quiet) {
      const std::wstring what = o_.mode == Mode::Convert ? L"converted " : L"extracted ";
      const std::wstring summary = what + Number(o_.files.size() - static_cast<std::size_t>(failed)) + L" of " +
                                   Number(o_.files.size()) + L" files" +
                                   (failed ? L", " + Number(static_cast<std::uint64_t>(failed)) + L" failed" : L"") +
                                   L"\n";
      if (failed) p_.Err(summary); else p_.Out(summary);
    }
    return status;
  }

 private:
  // Runs `job` on every file; the status of the first failure, or kOk.
  template <class Job>
  int Each(Job job) {
    int status = kOk;
    for (std::size_t i = 0; i < o_.files.size(); ++i) {
      if (o_.mode == Mode::Info && i > 0) p_.Out(L"\n");
      const int s = job(o_.files[i]);
      if (status == kOk) status = s;
    }
    return status;
  }

  void Fail(const std::wstring& text) { p_.Err(std::wstring(kProgram) + L": " + text + L"\n"); }

  // One line: the file, what went wrong, and the system's reason when it gave one.
  void FailFile(const std::wstring& file, const std::wstring& what) {
    const std::wstring why = p_.LastError();
    Fail(file + L": " + what + (why.empty() ? L"" : L": " + why));
  }

  std::wstring OutputFor(const std::wstring& file, std::wstring_view ext) const {
    if (o_.output) return *o_.output;
    const std::wstring sep = std::wstring(p_.Separators());
    if (!o_.dir) return WithExtension(file, ext, sep);
    std::wstring out = *o_.dir;
    if (sep.find(out.back()) == std::wstring::npos) out += sep[0];
    return out + WithExtension(FileName(file, sep), ext, sep);
  }

  int LoadStub(const std::wstring& path, std::vector<std::uint8_t>& into) {
    p_.ClearError();
    auto in = p_.Files().OpenRead(path);
    const auto size = in ? in->Size() : std::nullopt;
    if (!size) {
      FailFile(path, L"cannot read the player stub");
      return kBadStub;
    }
    if (*size == 0) {
      Fail(path + L": the player stub is empty");
      return kBadStub;
    }
    if (*size > convert::kMaxMovieSize) {
      Fail(path + L": the player stub is 2 GiB or larger");
      return kTooLarge;
    }
    into.resize(static_cast<std::size_t>(*size));
    std::size_t have = 0;
    while (have < into.size()) {
      const auto got = in->Read(std::span(into).subspan(have));
      if (!got || *got == 0) {
        FailFile(path, L"cannot read the player stub");
        return kBadStub;
      }
      have += *got;
    }
    return kOk;
  }

  convert::CopyProgress ProgressFor(const std::wstring& file, std::uint64_t size) {
    if (o_.quiet || size < kProgressFrom || !p_.ErrIsTerminal()) return {};
    const std::wstring name = FileName(file, p_.Separators());
    return [this, name, shown = -1](std::uint64_t done, std::uint64_t total) mutable {
      const int percent = total ? static_cast<int>(done * 100 / total) : 100;
      if (percent == shown) return;
      shown = percent;
      const int filled = percent * kBarWidth / 100;
      p_.Err(L"\r" + name + L" [" + std::wstring(static_cast<std::size_t>(filled), L'#') +
             std::wstring(static_cast<std::size_t>(kBarWidth - filled), L'.') + L"] " + std::to_wstring(percent) + L"%");
      if (done >= total) p_.Err(L"\r" + std::wstring(name.size() + kBarWidth + 8, L' ') + L"\r");
    };
  }

  std::uint64_t SizeOf(const std::wstring& file) {
    auto in = p_.Files().OpenRead(file);
    const auto size = in ? in->Size() : std::nullopt;
    return size ? *size : 0;
  }

  // Reports an outcome of the engine; kOk for Done.
  int Report(Outcome outcome, const std::wstring& in, const std::wstring& out, std::wstring_view done) {
    switch (outcome) {
      case Outcome::Done:
        if (!o_.quiet) p_.Out(std::wstring(done) + L" " + in + L" -> " + out + L"\n");
        return kOk;
      case Outcome::CannotRead: FailFile(in, L"cannot read"); return kCannotRead;
      case Outcome::EmptyMovie: Fail(in + L": the movie is empty"); return kEmptyMovie;
      case Outcome::TooLarge: Fail(in + L": too large: the output would reach 2 GiB"); return kTooLarge;
      case Outcome::OutputExists: Fail(out + L": already exists; it is left as it is"); return kOutputExists;
      case Outcome::CannotWrite: FailFile(out, L"cannot write"); return kCannotWrite;
      case Outcome::NotProjector:
        Fail(in + L": not a projector: its last 8 bytes locate no movie");
        return kNotAMovie;
      case Outcome::NoStub: Fail(L"the player stub is empty"); return kBadStub;
      case Outcome::NoInput:
      case Outcome::NoOutput: break;
    }
    Fail(L"no file given");
    return kUsage;
  }

  int Convert(std::span<const std::uint8_t> stub, const std::wstring& movie) {
    const std::wstring out = OutputFor(movie, L".exe");
    p_.ClearError();
    const auto progress = ProgressFor(movie, SizeOf(movie));
    p_.ClearError();
    return Report(convert::WriteProjectorFile(stub, p_.Files(), movie, out, progress), movie, out, L"converted");
  }

  int Extract(const std::wstring& projector) {
    const std::wstring out = OutputFor(projector, L".swf");
    p_.ClearError();
    const auto progress = ProgressFor(projector, SizeOf(projector));
    p_.ClearError();
    return Report(convert::ExtractMovie(p_.Files(), projector, out, progress), projector, out, L"extracted");
  }

  static std::optional<std::vector<std::uint8_t>> ReadHead(convert::InputFile& in, std::uint64_t length) {
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(length, kHeadBytes)));
    std::size_t have = 0;
    while (have < head.size()) {
      const auto got = in.Read(std::span(head).subspan(have));
      if (!got) return std::nullopt;
      if (*got == 0) break;
      have += *got;
    }
    head.resize(have);
    return head;
  }

  int Info(const std::wstring& file) {
    p_.ClearError();
    auto in = p_.Files().OpenRead(file);
    const auto size = in ? in->Size() : std::nullopt;
    auto head = size ? ReadHead(*in, *size) : std::nullopt;
    if (!head) {
      FailFile(file, L"cannot read");
      return kCannotRead;
    }
    auto facts = stub::ReadSwfFacts(*head);
    std::uint64_t movieSize = *size;
    std::wstring where = L"the whole file";
    if (!facts) {
      const auto inside = convert::LocateMovieIn(*in, *size);
      if (!inside || inside->length == 0) {
        Fail(file + L": neither a movie nor a projector: it starts with no SWF signature and ends in no trailer");
        return kNotAMovie;
      }
      head = in->Seek(inside->offset) ? ReadHead(*in, inside->length) : std::nullopt;
      if (!head) {
        FailFile(file, L"cannot read");
        return kCannotRead;
      }
      facts = stub::ReadSwfFacts(*head);
      if (!facts) {
        Fail(file + L": the movie inside this projector is not an SWF movie");
        return kNotAMovie;
      }
      movieSize = inside->length;
      where = L"inside a projector, " + Number(inside->length) + L" bytes at offset " + Number(inside->offset);
    }
    const wchar_t* compression = facts->compression == stub::Compression::None   ? L"FWS (uncompressed)"
                                 : facts->compression == stub::Compression::Zlib ? L"CWS (zlib)"
                                                                                 : L"ZWS (LZMA)";
    std::wstring text = L"file: " + file + L"\nmovie: " + where + L"\nsignature: " + compression +
                        L"\nversion: " + Number(static_cast<std::uint64_t>(facts->version)) + L"\n";
    if (facts->hasFrameHeader) {
      std::array<char, 32> rate{};
      std::snprintf(rate.data(), rate.size(), "%.2f", facts->frameRate);
      text += L"stage: " + std::to_wstring(facts->stageWidth) + L" x " + std::to_wstring(facts->stageHeight) +
              L" pixels\nframe rate: " + Widen(rate.data()) + L" per second\nframes: " +
              std::to_wstring(facts->frameCount) + L"\n";
    } else {
      text += L"stage: unreadable\nframe rate: unreadable\nframes: unreadable\n";
    }
    text += std::wstring(L"ActionScript 3: ") + (facts->actionScript3 ? L"yes" : L"no") + L"\nsize: " +
            Number(movieSize) + L" bytes\n";
    p_.Out(text);
    return kOk;
  }

  Platform& p_;
  const Options& o_;
};

}  // namespace

std::wstring FileName(const std::wstring& path, std::wstring_view separators) {
  const auto cut = path.find_last_of(separators);
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring WithExtension(const std::wstring& path, std::wstring_view ext, std::wstring_view separators) {
  const auto nameAt = path.find_last_of(separators);
  const std::size_t start = nameAt == std::wstring::npos ? 0 : nameAt + 1;
  const auto dot = path.find_last_of(L'.');
  // A leading dot names a hidden file, not an extension.
  if (dot == std::wstring::npos || dot <= start) return path + std::wstring(ext);
  return path.substr(0, dot) + std::wstring(ext);
}

std::wstring HelpText() {
  return LR"(Usage:
  quillon-convert MOVIE.swf [-o OUT.exe]     convert one movie into a projector
  quillon-convert MOVIE.swf... [-d DIR]      convert several, each into DIR (or beside itself)
  quillon-convert --info FILE...             show the facts of movies or of projectors' movies
  quillon-convert --extract PROJECTOR.exe [-o MOVIE.swf | -d DIR]
                                             write out the movie a projector carries

A projector is the player stub, the movie's bytes unchanged and an 8-byte trailer. The output
defaults to the input's name with .exe (or, extracting, .swf) in its place. An existing output
is never overwritten, the inputs are only read, and a failed write leaves nothing behind.

Options:
  -o, --output FILE   the output file (one input only)
  -d, --dir DIR       the folder for the outputs
      --stub FILE     use this player instead of the built-in one (any player that reads
                      the movie located by the trailer at the end of its own file)
      --info          show signature and compression, version, stage size, frame rate,
                      frame count, whether it is ActionScript 3, and size
      --extract       write out the movie that a projector's trailer locates
  -q, --quiet         print nothing but errors (no progress bar, no summary)
      --version       print the version
  -h, --help          print this help

Exit status (with several files, that of the first that failed):
  0  done
  2  the arguments make no sense
  3  an input is missing or cannot be read
  4  a movie is empty
  5  a movie is too large (the output would reach 2 GiB)
  6  an output already exists
  7  an output cannot be written
  8  the player stub cannot be read or is empty
  9  not a movie nor a projector (--info), or no valid trailer (--extract)
)";
}

int Run(const std::vector<std::wstring>& args, Platform& platform) {
  Options options;
  if (const auto why = ParseArguments(args, options)) {
    platform.Err(std::wstring(kProgram) + L": " + *why + L" (see --help)\n");
    return kUsage;
  }
  if (options.help) {
    platform.Out(HelpText());
    return kOk;
  }
  if (options.version) {
    platform.Out(std::wstring(kProgram) + L" " + Widen(QUILLON_VERSION) + L"\n");
    return kOk;
  }
  return Runner(platform, options).Main();
}

}  // namespace quillon::cli
