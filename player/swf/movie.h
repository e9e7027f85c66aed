// A parsed SWF movie: header, dictionary of characters and the timelines' control tags.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "geometry.h"
#include "sound/format.h"
#include "swf/text_defs.h"
#include "render/filter.h"

namespace quillon::player {

enum class Compression { None, Zlib, Lzma };

struct GradientStop {
  double ratio = 0;  // 0..1
  Rgba color;
};

enum class Spread { Pad, Reflect, Repeat };

struct Gradient {
  Spread spread = Spread::Pad;
  bool linearRgb = false;
  std::vector<GradientStop> stops;
  double focal = 0;  // -1..1, focal gradients only
};

enum class FillKind { Solid, Linear, Radial, Focal, Bitmap };

struct FillStyle {
  FillKind kind = FillKind::Solid;
  Rgba color;
  Matrix matrix;  // gradient or bitmap space to shape space
  Gradient gradient;
  std::uint16_t bitmapId = 0;
  bool repeat = true;
  bool smooth = true;
};

enum class Cap { Round, None, Square };
enum class Join { Round, Bevel, Miter };

struct LineStyle {
  double width = 0;  // twips
  Rgba color;
  Cap startCap = Cap::Round, endCap = Cap::Round;
  Join join = Join::Round;
  double miterLimit = 3;
  bool noClose = false;
  bool noHScale = false, noVScale = false;
  std::optional<FillStyle> fill;
};

struct Edge {
  Point from, control, to;
  bool curve = false;
};

// A run of connected or disconnected edges sharing one choice of styles. Style indices
// are 1-based into the shape's whole style lists; 0 is none.
struct Path {
  std::size_t fill0 = 0, fill1 = 0, line = 0;
  std::vector<Edge> edges;
};

// Styles introduced together; later groups draw above earlier ones.
struct StyleGroup {
  std::vector<Path> paths;
};

struct ShapeGeometry {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
  std::vector<StyleGroup> groups;
};

struct ShapeDef {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  ShapeGeometry geometry;
};

struct MorphShapeDef {
  // Start and end geometry share styles and path structure edge for edge.
  ShapeGeometry start, end;
  double startBounds[4] = {0, 0, 0, 0}, endBounds[4] = {0, 0, 0, 0};  // x min, y min, x max, y max
  ShapeGeometry at(double ratio) const;
};

struct BitmapDef {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;  // straight (not premultiplied) colours, row-major
};

// An onClipEvent handler placed with a clip: the events it answers and its actions.
struct ClipAction {
  std::uint32_t events = 0;  // the 32-bit event flags (SWF 5's 16 bits widened)
  std::uint8_t keyCode = 0;
  std::shared_ptr<const std::vector<std::uint8_t>> code;
};

enum ClipEvent : std::uint32_t {
  kEventLoad = 0x01, kEventEnterFrame = 0x02, kEventUnload = 0x04, kEventMouseMove = 0x08, kEventMouseDown = 0x10,
  kEventMouseUp = 0x20, kEventKeyDown = 0x40, kEventKeyUp = 0x80, kEventData = 0x100, kEventInitialize = 0x200,
  kEventPress = 0x400, kEventRelease = 0x800, kEventReleaseOutside = 0x1000, kEventRollOver = 0x2000,
  kEventRollOut = 0x4000, kEventDragOver = 0x8000, kEventDragOut = 0x10000, kEventKeyPress = 0x20000,
  kEventConstruct = 0x40000,
};

struct PlaceObject {
  int version = 1;
  int depth = 0;
  bool move = false;
  std::optional<std::uint16_t> characterId;
  std::optional<Matrix> matrix;
  std::optional<ColorTransform> colorTransform;
  std::optional<double> ratio;  // 0..1
  std::optional<std::string> name;
  std::optional<int> clipDepth;
  std::optional<bool> visible;
  // PlaceObject3's display settings.
  std::optional<std::vector<Filter>> filters;
  std::optional<std::uint8_t> blendMode;  // as stored: 0 and 1 normal, 2 layer, ... 14 hardlight
  std::optional<bool> cacheAsBitmap;
  std::optional<Rgba> opaqueBackground;
  std::vector<ClipAction> clipActions;
  std::uint32_t clipEventFlags = 0;  // every event some handler answers, as the tag sums them up
};

struct RemoveObject {
  int depth = 0;
};

struct DoAction {
  std::shared_ptr<const std::vector<std::uint8_t>> code;
};

// DoInitAction: runs once, before the frame's other scripts, the first time the frame plays.
struct InitAction {
  std::uint16_t spriteId = 0;
  std::shared_ptr<const std::vector<std::uint8_t>> code;
};

using ControlTag = std::variant<PlaceObject, RemoveObject, DoAction, InitAction>;

struct Frame {
  std::vector<ControlTag> tags;
  std::string label;
  std::vector<sound::StartSound> sounds;  // StartSound tags, in order
};

struct Timeline {
  std::vector<Frame> frames;
  // A timeline whose tags stop short of End, or go on past the last ShowFrame, stays on its
  // last frame instead of looping, as the reference player does with such streams.
  bool loops = true;
  std::shared_ptr<const sound::Stream> stream;  // its streamed sound, or null
  std::optional<std::size_t> FrameOfLabel(const std::string& label) const;
};

struct Movie;
struct SpriteDef {
  Timeline timeline;
  std::size_t byteSize = 0;  // of its tags, as a sprite's getBytesTotal gives it
  std::shared_ptr<const Movie> movie;  // a loaded movie's main timeline: the movie it places from
};

// One character of a button's states.
struct ButtonRecord {
  std::uint8_t states = 0;  // 1 up, 2 over, 4 down, 8 hit area
  std::uint16_t characterId = 0;
  int depth = 0;
  Matrix matrix;
  ColorTransform colorTransform;
  std::vector<Filter> filters;
  std::uint8_t blendMode = 0;
};

// The state changes a button action answers (DefineButton2's condition bits, first byte low).
enum ButtonCondition : std::uint16_t {
  kCondIdleToOverUp = 0x01, kCondOverUpToIdle = 0x02, kCondOverUpToOverDown = 0x04, kCondOverDownToOverUp = 0x08,
  kCondOverDownToOutDown = 0x10, kCondOutDownToOverDown = 0x20, kCondOutDownToIdle = 0x40,
  kCondIdleToOverDown = 0x80, kCondOverDownToIdle = 0x100,
};

struct ButtonAction {
  std::uint16_t conditions = 0;
  std::uint8_t keyCode = 0;  // a key press that runs it, 0 for none
  std::shared_ptr<const std::vector<std::uint8_t>> code;
};

struct ButtonDef {
  std::vector<ButtonRecord> records;
  std::vector<ButtonAction> actions;
  bool trackAsMenu = false;
};

// Characters that are placed, named and measured but not drawn yet.
enum class OtherKind : std::uint8_t { Video };
struct OtherDef {
  OtherKind kind = OtherKind::Video;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

using Character = std::variant<ShapeDef, MorphShapeDef, SpriteDef, BitmapDef, ButtonDef, OtherDef, FontDef, TextDef,
                               EditTextDef>;

// NeedsActionScript3: has ActionScript 3 code. TooLarge: its decoded pictures and sounds would not
// fit the memory a 32-bit program has.
enum class LoadError { None, NotSwf, Damaged, NeedsActionScript3, TooLarge };

struct Movie {
  Compression compression = Compression::None;
  std::size_t fileSize = 0;  // as stored, for getBytesTotal
  int version = 0;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // twips
  double frameRate = 0;
  int frameCount = 0;
  Rgba background{255, 255, 255, 255};
  bool usesActionScript3 = false;  // declared in the file attributes: AVM1 scripts are then ignored
  bool hasAbc = false;             // carries ActionScript 3 code, which this player does not run
  std::map<std::uint16_t, std::shared_ptr<const Character>> dictionary;
  // ExportAssets: library names of characters, for attachMovie and class registration.
  std::map<std::string, std::uint16_t> exports;
  std::map<std::uint16_t, std::string> exportNames;
  std::map<std::uint16_t, std::shared_ptr<const sound::SoundDef>> sounds;
  std::map<std::uint16_t, sound::ButtonSounds> buttonSounds;  // by button id
  Timeline timeline;

  int StageWidth() const { return static_cast<int>((xMax - xMin) / 20); }
  int StageHeight() const { return static_cast<int>((yMax - yMin) / 20); }
  const Character* Find(std::uint16_t id) const;
  // The character exported under `name` (exactly, else ignoring case), or 0.
  std::uint16_t Exported(std::string_view name) const;
};

struct LoadResult {
  LoadError error = LoadError::None;
  std::shared_ptr<const Movie> movie;  // also present with NeedsActionScript3, for its facts
};

// The most a movie may take once decoded (body, bitmaps, sounds): a 32-bit program has 2 GiB of
// address space, and the stage, layers and scripts need their share of it.
inline constexpr std::size_t kMaxDecodedBytes = std::size_t{1} << 30;

// Reads a whole movie. Never throws on damaged input; gives NotSwf or Damaged instead, and
// TooLarge when what it decodes passes `budget` bytes or memory runs out.
// Tags after a damaged one are dropped, what was read before it stays playable.
LoadResult LoadMovie(std::span<const std::uint8_t> file, std::size_t budget = kMaxDecodedBytes);

// The movie body after the 8-byte header, decompressed (for tests and the fuzzer). Nothing when
// it is damaged, or larger than kMaxBodySize (then `*tooLarge` is set).
std::optional<std::vector<std::uint8_t>> DecompressBody(std::span<const std::uint8_t> file, bool* tooLarge = nullptr);

// The largest body accepted, against decompression bombs.
inline constexpr std::size_t kMaxBodySize = 256u << 20;

}  // namespace quillon::player
