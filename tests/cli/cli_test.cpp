// quillon-convert run as a user runs it: the real program in temporary folders, its exit status,
// its one-line messages, the files it writes and the files it leaves alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <lzma.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "swf/movie.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::error_code ec;
  Bytes b(static_cast<std::size_t>(fs::is_regular_file(p, ec) ? fs::file_size(p) : 0));
  in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return b;
}

void WriteAll(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes Trailer(std::uint32_t length) {
  Bytes t{0x56, 0x34, 0x12, 0xFA};
  for (int i = 0; i < 4; ++i) t.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  return t;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::size_t Lines(const std::string& s) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')); }

// Everything in a folder, as relative names, to see what a run left behind.
std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(fs::relative(e.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Result {
  int status = -1;
  std::string out, err;
};

struct How {
  fs::path cwd;
  std::optional<rlim_t> fileSizeLimit;  // the system refuses writes past it
  std::optional<uid_t> user;            // run as this user instead
  bool errOnTerminal = false;           // standard error is a terminal
  std::string program = QUILLON_CONVERT;
};

// Runs the program and collects what it wrote; standard output and error are pipes (or a
// terminal), never files, so that a limit on file sizes is the output's alone.
Result RunCli(const std::vector<std::string>& args, const How& how = {}) {
  int out[2], err[2] = {-1, -1}, master = -1;
  if (pipe(out) != 0) ADD_FAILURE() << "no pipe";
  if (how.errOnTerminal ? openpty(&master, &err[1], nullptr, nullptr, nullptr) != 0 : pipe(err) != 0)
    ADD_FAILURE() << "no pipe or terminal for standard error";
  if (how.errOnTerminal) err[0] = master;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    const int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    for (int fd : {out[0], out[1], err[0], err[1], devnull}) close(fd);
    if (!how.cwd.empty() && chdir(how.cwd.c_str()) != 0) _exit(120);
    if (how.fileSizeLimit) {
      signal(SIGXFSZ, SIG_IGN);  // a refused write fails instead of killing the program
      const rlimit limit{*how.fileSizeLimit, *how.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (how.user && (setgid(*how.user) != 0 || setuid(*how.user) != 0)) _exit(121);
    // A 32-bit build runs its program through the emulator that runs these tests: the kernel
    // may have no 32-bit support of its own.
    const std::string emulator = QUILLON_RUN_PREFIX;
    std::vector<char*> argv;
    if (!emulator.empty()) argv.push_back(const_cast<char*>(emulator.c_str()));
    argv.push_back(const_cast<char*>(how.program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(122);
  }
  close(out[1]);
  close(err[1]);
  Result r;
  // Both drained while the program runs, so that a full pipe never holds it up.
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&r.out, &r.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, 1000) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        into[i]->append(buf, static_cast<std::size_t>(n));
      } else {  // the end, or a terminal whose program has gone
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

std::string Why(int err) { return std::strerror(err); }

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("quillon-cli-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    stub = ReadAll(QUILLON_CLI_STUB);
    ASSERT_GT(stub.size(), 1000u);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir / "locked", fs::perms::owner_all, ec);
    fs::remove_all(dir);
  }
  fs::path Movie(const std::string& name, const Bytes& bytes) {
    WriteAll(dir / name, bytes);
    return dir / name;
  }
  std::string P(const fs::path& p) const { return p.string(); }

  fs::path dir;
  Bytes stub;
  const Bytes tiny{'F', 'W', 'S', 6, 21, 0, 0, 0, 0x50, 0x00, 0x02, 0x80, 0x00, 0x09, 0x60, 0x00, 0x0C, 0x01, 0x00, 0x40, 0x00};
};

// --- arguments ---------------------------------------------------------------------------

TEST_F(Cli, HelpDocumentsEveryExitStatusAndVersionNamesTheRelease) {
  const Result help = RunCli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.err.empty());
  for (int status = 2; status <= 9; ++status)
    EXPECT_NE(help.out.find("\n  " + std::to_string(status) + "  "), std::string::npos) << "status " << status;
  for (const char* option : {"-o", "-d", "--stub", "--info", "--extract", "--quiet", "--version"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  const Result version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("quillon-convert ") + QUILLON_RELEASE + "\n");
}

TEST_F(Cli, ArgumentsThatMakeNoSenseExitWithStatus2AndOneLine) {
  const std::vector<std::vector<std::string>> bad{
      {},                                 // nothing to do
      {"--frobnicate", "a.swf"},          // unknown option
      {"a.swf", "-o"},                    // option without its value
      {"a.swf", "b.swf", "-o", "x.exe"},  // one output for two movies
      {"a.swf", "-o", "x.exe", "-d", "."},
      {"--info", "a.swf", "-o", "x.txt"},
      {"--info", "--extract", "a.exe"},
      {"--extract", "a.exe", "--stub", "s.exe"},
      {"--quiet=yes", "a.swf"},
      {"-o", "x.exe", "-o", "y.exe", "a.swf"},
  };
  for (const auto& args : bad) {
    const Result r = RunCli(args, {.cwd = dir});
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    EXPECT_EQ(r.status, 2) << shown;
    EXPECT_EQ(Lines(r.err), 1u) << shown << r.err;
    EXPECT_EQ(r.err.rfind("quillon-convert: ", 0), 0u) << r.err;
    EXPECT_TRUE(r.out.empty()) << shown;
  }
  EXPECT_TRUE(Listing(dir).empty()) << "a refused command line wrote a file";
}

// --- converting --------------------------------------------------------------------------

TEST_F(Cli, ConvertsBesideTheMovieWithTheEmbeddedStubMovieAndTrailer) {
  const fs::path movie = Movie("tiny.swf", tiny);
  const Result r = RunCli({P(movie)});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_NE(r.out.find("tiny.exe"), std::string::npos) << r.out;
  // The stub is the very file the Windows build embeds into Quillon.exe.
  EXPECT_TRUE(ReadAll(dir / "tiny.exe") == Cat(Cat(stub, tiny), Trailer(static_cast<std::uint32_t>(tiny.size()))));
  EXPECT_EQ(stub[0], 'M');
  EXPECT_EQ(stub[1], 'Z');
  EXPECT_TRUE(ReadAll(movie) == tiny) << "the movie was changed";
}

TEST_F(Cli, OutputNamesFollowTheMovieOrOptions) {
  fs::create_directories(dir / "v1.2");
  Movie("v1.2/movie", {1, 2, 3});
  Movie(".hidden", {4});
  Movie("clip.SWF", {5});
  EXPECT_EQ(RunCli({"v1.2/movie", ".hidden", "clip.SWF"}, {.cwd = dir}).status, 0);
  EXPECT_TRUE(fs::exists(dir / "v1.2" / "movie.exe"));
  EXPECT_TRUE(fs::exists(dir / ".hidden.exe"));
  EXPECT_TRUE(fs::exists(dir / "clip.exe"));
  EXPECT_EQ(RunCli({"--output=named.bin", "--quiet", "clip.SWF"}, {.cwd = dir}).status, 0);
  EXPECT_EQ(fs::file_size(dir / "named.bin"), stub.size() + 1 + 8);
}

TEST_F(Cli, StubOptionUsesAnotherPlayer) {
  const Bytes other{'M', 'Z', 'o', 't', 'h', 'e', 'r'};
  const fs::path player = Movie("player.exe", other);
  const fs::path movie = Movie("m.swf", tiny);
  const Result r = RunCli({"--stub", P(player), P(movie), "-o", P(dir / "out.exe")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadAll(dir / "out.exe") == Cat(Cat(other, tiny), Trailer(static_cast<std::uint32_t>(tiny.size()))));
}

TEST_F(Cli, BatchConvertsEachIntoTheFolderAndEndsWithTheFirstFailure) {
  fs::create_directories(dir / "out");
  const fs::path a = Movie("a.swf", {1}), b = Movie("b.swf", {2, 2}), empty = Movie("empty.swf", {});
  const Result r = RunCli({P(a), P(dir / "gone.swf"), P(empty), P(b), "-d", P(dir / "out")});
  EXPECT_EQ(r.status, 3) << "the first failure was the missing movie";
  EXPECT_EQ(Listing(dir / "out"), (std::vector<std::string>{"a.exe", "b.exe"}));
  EXPECT_EQ(ReadAll(dir / "out" / "b.exe"), Cat(Cat(stub, {2, 2}), Trailer(2)));
  // One line for each failure, then the summary.
  EXPECT_EQ(Lines(r.err), 3u) << r.err;
  EXPECT_NE(r.err.find("gone.swf"), std::string::npos);
  EXPECT_NE(r.err.find("empty.swf"), std::string::npos);
  EXPECT_NE(r.err.find("2 of 4"), std::string::npos) << r.err;
}

// --- failures: status, one line naming the file and the cause, nothing left behind ---------

TEST_F(Cli, MissingOrUnreadableMovieIsStatus3AndNeverCreated) {
  const Result missing = RunCli({P(dir / "gone.swf")});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.err, "quillon-convert: " + P(dir / "gone.swf") + ": cannot read: " + Why(ENOENT) + "\n");
  fs::create_directories(dir / "folder.swf");
  const Result folder = RunCli({P(dir / "folder.swf")});
  EXPECT_EQ(folder.status, 3);
  EXPECT_NE(folder.err.find(Why(EISDIR)), std::string::npos) << folder.err;
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"folder.swf"}));
}

TEST_F(Cli, EmptyAndTooLargeMoviesAreRefused) {
  const Result empty = RunCli({P(Movie("empty.swf", {}))});
  EXPECT_EQ(empty.status, 4);
  EXPECT_EQ(Lines(empty.err), 1u);
  EXPECT_NE(empty.err.find("empty.swf"), std::string::npos);
  {
    std::ofstream big(dir / "big.swf", std::ios::binary);
  }
  fs::resize_file(dir / "big.swf", std::uint64_t{1} << 31);  // sparse: no disk space taken
  const Result big = RunCli({P(dir / "big.swf")});
  EXPECT_EQ(big.status, 5);
  EXPECT_NE(big.err.find("big.swf"), std::string::npos);
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"big.swf", "empty.swf"}));
}

TEST_F(Cli, ExistingOutputIsStatus6AndLeftAsItIs) {
  const fs::path movie = Movie("m.swf", tiny);
  WriteAll(dir / "m.exe", {9, 9, 9});
  const Result r = RunCli({P(movie)});
  EXPECT_EQ(r.status, 6);
  EXPECT_EQ(Lines(r.err), 1u);
  EXPECT_NE(r.err.find(P(dir / "m.exe")), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll(dir / "m.exe"), (Bytes{9, 9, 9}));
}

TEST_F(Cli, UnwritableOutputsAreStatus7AndLeaveNothing) {
  const fs::path movie = Movie("m.swf", tiny);
  // A path through a file fails for every user, root included.
  WriteAll(dir / "plain", {0});
  const Result under = RunCli({P(movie), "-o", P(dir / "plain" / "out.exe")});
  EXPECT_EQ(under.status, 7);
  EXPECT_EQ(under.err, "quillon-convert: " + P(dir / "plain" / "out.exe") + ": cannot write: " + Why(ENOTDIR) + "\n");
  const Result missingFolder = RunCli({P(movie), "-d", P(dir / "nowhere")});
  EXPECT_EQ(missingFolder.status, 7);
  EXPECT_NE(missingFolder.err.find(Why(ENOENT)), std::string::npos);
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"m.swf", "plain"}));
}

TEST_F(Cli, ReadOnlyFolderIsStatus7ForAUserWhoCannotWriteThere) {
  const fs::path movie = Movie("m.swf", tiny);
  fs::create_directories(dir / "locked");
  fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  How how;
  // Root writes into a read-only folder regardless; the program then runs as an ordinary user,
  // from a copy it can reach, so that the folder really is read-only for it.
  if (access((dir / "locked").c_str(), W_OK) == 0) {
    ASSERT_EQ(geteuid(), 0u) << "a read-only folder is writable for a user who is not root";
    fs::permissions(dir, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
    fs::copy_file(QUILLON_CONVERT, dir / "quillon-convert");
    how.program = P(dir / "quillon-convert");
    how.user = 65534;
  }
  const Result r = RunCli({P(movie), "-d", P(dir / "locked")}, how);
  EXPECT_EQ(r.status, 7) << r.err;
  EXPECT_EQ(r.err, "quillon-convert: " + P(dir / "locked" / "m.exe") + ": cannot write: " + Why(EACCES) + "\n");
  EXPECT_TRUE(Listing(dir / "locked").empty());
}

TEST_F(Cli, WriteFailingPartWayRemovesThePartialOutput) {
  Bytes big(3u << 20);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + (i >> 12));
  const fs::path movie = Movie("m.swf", big);
  // Limits in the stub, in the movie and in the trailer.
  for (rlim_t limit : {rlim_t{100}, rlim_t(stub.size() + (1u << 20)), rlim_t(stub.size() + big.size() + 4)}) {
    const Result r = RunCli({P(movie), "-o", P(dir / "out.exe")}, {.fileSizeLimit = limit});
    EXPECT_EQ(r.status, 7) << limit << r.err;
    EXPECT_EQ(r.err, "quillon-convert: " + P(dir / "out.exe") + ": cannot write: " + Why(EFBIG) + "\n") << limit;
    EXPECT_FALSE(fs::exists(dir / "out.exe")) << "a partial output was left at limit " << limit;
  }
  EXPECT_TRUE(ReadAll(movie) == big);
}

TEST_F(Cli, UnreadableOrEmptyStubIsStatus8) {
  const fs::path movie = Movie("m.swf", tiny);
  const Result missing = RunCli({P(movie), "--stub", P(dir / "nostub.exe")});
  EXPECT_EQ(missing.status, 8);
  EXPECT_EQ(missing.err,
            "quillon-convert: " + P(dir / "nostub.exe") + ": cannot read the player stub: " + Why(ENOENT) + "\n");
  const Result empty = RunCli({P(movie), "--stub", P(Movie("empty.exe", {}))});
  EXPECT_EQ(empty.status, 8);
  EXPECT_EQ(Lines(empty.err), 1u);
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"empty.exe", "m.swf"}));
}

// --- extracting ----------------------------------------------------------------------------

TEST_F(Cli, ExtractGivesBackTheMovieByteForByte) {
  Bytes movie(200000);
  for (std::size_t i = 0; i < movie.size(); ++i) movie[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
  // Ending in bytes that look like a trailer must not confuse the round trip.
  const Bytes fake = Trailer(3);
  movie.insert(movie.end(), fake.begin(), fake.end());
  const fs::path swf = Movie("round.swf", movie);
  ASSERT_EQ(RunCli({P(swf), "-o", P(dir / "round.exe"), "-q"}).status, 0);
  const Result r = RunCli({"--extract", P(dir / "round.exe"), "-o", P(dir / "back.swf")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadAll(dir / "back.swf") == movie);
  // The default name is the projector's with .swf; an existing one is never overwritten.
  fs::create_directories(dir / "x");
  fs::copy_file(dir / "round.exe", dir / "x" / "round.exe");
  EXPECT_EQ(RunCli({"--extract", P(dir / "x" / "round.exe")}).status, 0);
  EXPECT_TRUE(ReadAll(dir / "x" / "round.swf") == movie);
  EXPECT_EQ(RunCli({"--extract", P(dir / "x" / "round.exe")}).status, 6);
  EXPECT_TRUE(ReadAll(dir / "x" / "round.swf") == movie);
}

TEST_F(Cli, ExtractReadsAnyMakersProjectorAndRefusesFilesWithoutATrailer) {
  const Bytes foreign = Cat(Cat(Bytes(4096, 0xCC), tiny), Trailer(static_cast<std::uint32_t>(tiny.size())));
  const fs::path other = Movie("other.exe", foreign);
  EXPECT_EQ(RunCli({"--extract", P(other), "-o", P(dir / "got.swf")}).status, 0);
  EXPECT_TRUE(ReadAll(dir / "got.swf") == tiny);

  Bytes bad = Cat(stub, tiny);
  bad.insert(bad.end(), {0xFA, 0x12, 0x34, 0x56, 21, 0, 0, 0});  // the magic stored the wrong way round
  const std::vector<fs::path> refused{Movie("bare.exe", stub), Movie("reversed.exe", bad),
                                      Movie("long.exe", Cat(Bytes(10, 1), Trailer(100))), Movie("short.exe", {1, 2})};
  for (const auto& f : refused) {
    const Result r = RunCli({"--extract", P(f), "-d", P(dir / "x")});
    EXPECT_EQ(r.status, 9) << f;
    EXPECT_EQ(Lines(r.err), 1u);
    EXPECT_NE(r.err.find(P(f)), std::string::npos) << r.err;
  }
  EXPECT_EQ(RunCli({"--extract", P(dir / "none.exe")}).status, 3);
  EXPECT_FALSE(fs::exists(dir / "x"));
}

// --- facts -------------------------------------------------------------------------------

// The first movie of the corpora whose signature starts with `letter`.
std::optional<fs::path> CorpusMovie(char letter) {
  std::vector<fs::path> found;
  for (const char* corpus : {QUILLON_PLAYER_CORPUS, QUILLON_AVM1_CORPUS}) {
    if (!fs::is_directory(corpus)) continue;
    for (const auto& e : fs::recursive_directory_iterator(corpus))
      if (e.path().extension() == ".swf") found.push_back(e.path());
  }
  std::sort(found.begin(), found.end());
  for (const auto& p : found) {
    std::ifstream in(p, std::ios::binary);
    char sig[3] = {};
    if (in.read(sig, 3) && sig[0] == letter && sig[1] == 'W' && sig[2] == 'S') return p;
  }
  return std::nullopt;
}

// The same movie as ZWS: the header, the compressed length, the coder's 5 properties, the stream.
Bytes ToLzma(const Bytes& fws, const Bytes& body) {
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 6);
  lzma_stream z = LZMA_STREAM_INIT;
  EXPECT_EQ(lzma_alone_encoder(&z, &options), LZMA_OK);
  Bytes packed(body.size() + 1024);
  z.next_in = body.data();
  z.avail_in = body.size();
  z.next_out = packed.data();
  z.avail_out = packed.size();
  EXPECT_EQ(lzma_code(&z, LZMA_FINISH), LZMA_STREAM_END);
  packed.resize(packed.size() - z.avail_out);
  lzma_end(&z);
  // The alone format: 5 properties, 8 bytes of length, then the stream.
  const Bytes props(packed.begin(), packed.begin() + 5), stream(packed.begin() + 13, packed.end());
  Bytes zws{'Z', 'W', 'S', fws[3], fws[4], fws[5], fws[6], fws[7]};
  for (int i = 0; i < 4; ++i) zws.push_back(static_cast<std::uint8_t>(stream.size() >> (8 * i)));
  return Cat(Cat(zws, props), stream);
}

std::string Expected(const Bytes& file, const std::string& signature) {
  const auto loaded = quillon::player::LoadMovie(file);
  EXPECT_TRUE(loaded.movie) << "the full reader could not read the corpus movie";
  if (!loaded.movie) return {};
  const auto& m = *loaded.movie;
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.2f", m.frameRate);
  return "signature: " + signature + "\nversion: " + std::to_string(m.version) + "\nstage: " +
         std::to_string(m.StageWidth()) + " x " + std::to_string(m.StageHeight()) + " pixels\nframe rate: " + rate +
         " per second\nframes: " + std::to_string(m.frameCount) + "\nActionScript 3: " +
         (m.usesActionScript3 ? "yes" : "no") + "\nsize: " + std::to_string(file.size()) + " bytes\n";
}

TEST_F(Cli, InfoReportsTheFactsOfMoviesOfEachCompressionAndOfTheMovieInAProjector) {
  const auto fwsPath = CorpusMovie('F'), cwsPath = CorpusMovie('C');
  ASSERT_TRUE(fwsPath && cwsPath) << "the reference corpora are not beside the repository";
  const Bytes fws = ReadAll(*fwsPath), cws = ReadAll(*cwsPath);
  const fs::path zwsPath = Movie("made.swf", ToLzma(fws, Bytes(fws.begin() + 8, fws.end())));
  const Bytes zws = ReadAll(zwsPath);

  struct Case {
    fs::path path;
    Bytes bytes;
    std::string signature;
  };
  for (const Case& c : {Case{*fwsPath, fws, "FWS (uncompressed)"}, Case{*cwsPath, cws, "CWS (zlib)"},
                        Case{zwsPath, zws, "ZWS (LZMA)"}}) {
    const Result r = RunCli({"--info", P(c.path)});
    EXPECT_EQ(r.status, 0) << c.path << r.err;
    EXPECT_EQ(r.out, "file: " + P(c.path) + "\nmovie: the whole file\n" + Expected(c.bytes, c.signature)) << c.path;
  }
  // The movie inside a projector, ours or another's.
  const fs::path projector = dir / "made.exe";
  ASSERT_EQ(RunCli({P(zwsPath), "-q"}).status, 0);
  const Result inside = RunCli({"--info", P(projector)});
  EXPECT_EQ(inside.status, 0) << inside.err;
  EXPECT_EQ(inside.out, "file: " + P(projector) + "\nmovie: inside a projector, " + std::to_string(zws.size()) +
                            " bytes at offset " + std::to_string(stub.size()) + "\n" + Expected(zws, "ZWS (LZMA)"));
  // Neither a movie nor a projector.
  const Result text = RunCli({"--info", P(Movie("notes.txt", {'h', 'e', 'l', 'l', 'o', '\n'}))});
  EXPECT_EQ(text.status, 9);
  EXPECT_EQ(Lines(text.err), 1u);
  EXPECT_TRUE(text.out.empty());
}

// --- progress ------------------------------------------------------------------------------

TEST_F(Cli, ProgressBarOnlyOnATerminalAndNeverWhenQuiet) {
  {
    std::ofstream big(dir / "big.swf", std::ios::binary);
    const std::string block(1 << 20, 'q');
    for (int i = 0; i < 40; ++i) big.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  const Result shown = RunCli({P(dir / "big.swf"), "-o", P(dir / "a.exe")}, {.errOnTerminal = true});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.err.find("[" + std::string(30, '#') + "] 100%"), std::string::npos) << shown.err;
  // Steps on the way: some share of the copy between none and all.
  bool between = false;
  for (std::size_t at = shown.err.find("] "); at != std::string::npos; at = shown.err.find("] ", at + 1)) {
    const int percent = std::atoi(shown.err.c_str() + at + 2);
    between = between || (percent > 0 && percent < 100);
  }
  EXPECT_TRUE(between) << "the bar did not move as the copy went: " << shown.err;
  const Result quiet = RunCli({P(dir / "big.swf"), "-o", P(dir / "b.exe"), "--quiet"}, {.errOnTerminal = true});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_TRUE(quiet.err.empty()) << quiet.err;
  EXPECT_TRUE(quiet.out.empty()) << quiet.out;
  const Result piped = RunCli({P(dir / "big.swf"), "-o", P(dir / "c.exe")});
  EXPECT_EQ(piped.status, 0);
  EXPECT_TRUE(piped.err.empty()) << "a progress bar was written into a pipe";
  EXPECT_EQ(ReadAll(dir / "a.exe"), ReadAll(dir / "c.exe"));
}

}  // namespace
