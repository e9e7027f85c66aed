// MP3 through Debian's libmpg123 where the build has it; elsewhere the build brings no MP3
// decoder of its own (the Windows stub sets the platform's).
#include "sound/decoder.h"

#if QUILLON_HAVE_MPG123
#include <mpg123.h>

#include <array>

namespace quillon::player::sound {
namespace {

struct HandleCloser {
  void operator()(mpg123_handle* h) const { mpg123_delete(h); }
};

class Mpg123Decoder : public Decoder {
 public:
  explicit Mpg123Decoder(const Format& f) : format_(f), rate_(f.rate) {
    int error = MPG123_OK;
    handle_.reset(mpg123_new(nullptr, &error));
    if (!handle_) return;
    mpg123_param(handle_.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Every rate, 16-bit, in the tag's channel count: the library mixes or doubles channels.
    mpg123_format_none(handle_.get());
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    const int channels = f.stereo ? MPG123_STEREO : MPG123_MONO;
    for (std::size_t i = 0; i < count; ++i) mpg123_format(handle_.get(), rates[i], channels, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(handle_.get()) != MPG123_OK) handle_.reset();
  }

  void Decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override {
    if (!handle_) return;
    const unsigned char* in = bytes.data();
    std::size_t inSize = bytes.size();
    std::array<unsigned char, 16384> buffer;
    for (int guard = 0; guard < 1 << 20; ++guard) {
      std::size_t done = 0;
      const int r = mpg123_decode(handle_.get(), in, inSize, buffer.data(), buffer.size(), &done);
      in = nullptr;
      inSize = 0;
      for (std::size_t i = 0; i + 1 < done; i += 2)
        out.push_back(static_cast<std::int16_t>(buffer[i] | buffer[i + 1] << 8));
      if (r == MPG123_NEW_FORMAT) {
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(handle_.get(), &rate, &channels, &encoding) == MPG123_OK && rate > 0)
          rate_ = static_cast<int>(rate);
        continue;
      }
      if (r != MPG123_OK) break;  // wants more input, or the data is damaged
    }
  }
  int rate() const override { return rate_; }
  int channels() const override { return format_.channels(); }

 private:
  Format format_;
  int rate_;
  std::unique_ptr<mpg123_handle, HandleCloser> handle_;
};

}  // namespace

std::unique_ptr<Decoder> MakeBuiltInMp3Decoder(const Format& format) {
  return std::make_unique<Mpg123Decoder>(format);
}

}  // namespace quillon::player::sound

#else

namespace quillon::player::sound {

std::unique_ptr<Decoder> MakeBuiltInMp3Decoder(const Format&) { return nullptr; }

}  // namespace quillon::player::sound

#endif
