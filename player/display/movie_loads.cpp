// Movies and images loaded into clips (loadMovie, MovieClipLoader): the file arrives on a
// later frame, replaces the clip with one that plays it, and the loader hears each step.
#include <algorithm>

#include "display/clip_object.h"
#include "display/player.h"
#include "swf/image.h"

namespace quillon::player {
namespace {

// A loaded picture plays as a one-frame movie holding one unsmoothed bitmap at its top left.
std::shared_ptr<const Movie> ImageMovie(BitmapDef bitmap, std::size_t fileSize, int version) {
  auto movie = std::make_shared<Movie>();
  movie->version = version;
  movie->fileSize = fileSize;
  movie->frameCount = 1;
  const double w = bitmap.width * 20.0, h = bitmap.height * 20.0;
  movie->xMax = w;
  movie->yMax = h;
  FillStyle fill;
  fill.kind = FillKind::Bitmap;
  fill.bitmapId = 1;
  fill.matrix = Matrix::Scale(20);
  fill.repeat = false;
  fill.smooth = false;
  ShapeDef shape;
  shape.xMax = w;
  shape.yMax = h;
  shape.geometry.fills.push_back(fill);
  Path path;
  path.fill1 = 1;
  const Point corners[] = {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
  for (int i = 0; i < 4; ++i) path.edges.push_back({corners[i], corners[i], corners[i + 1], false});
  shape.geometry.groups.push_back({{path}});
  movie->dictionary[1] = std::make_shared<const Character>(std::move(bitmap));
  movie->dictionary[2] = std::make_shared<const Character>(std::move(shape));
  PlaceObject place;
  place.depth = 1;
  place.characterId = 2;
  Frame frame;
  frame.tags.emplace_back(place);
  movie->timeline.frames.push_back(std::move(frame));
  return movie;
}

bool LooksLikeSwf(const std::string& bytes) {
  return bytes.size() >= 8 && bytes[1] == 'W' && bytes[2] == 'S' && (bytes[0] == 'F' || bytes[0] == 'C' || bytes[0] == 'Z');
}

}  // namespace

const Movie& Player::MovieOf(const Instance& inst) const {
  if (inst.movie) return *inst.movie;
  for (auto at = inst.parent.lock(); at; at = at->parent.lock())
    if (at->movie) return *at->movie;
  return *movie_;
}

bool Player::LoadMovie(Instance& target, const std::string& url, avm1::Object* listener) {
  if (!movieLoader_) {
    std::error_code ec;
    movieLoader_ = std::make_shared<data::Loader>(std::filesystem::current_path(ec));
  }
  if (movieLoader_->Classify(url) == data::Source::Unusable) return false;
  data::Request request;
  request.url = url;
  auto* clip = ObjectOf(target);
  if (auto* c = dynamic_cast<ClipObject*>(clip)) c->RememberPath();
  movieLoads_.push_back({movieLoader_->Start(request), clip, listener});
  return true;
}

void Player::UnloadMovie(Instance& target) {
  auto empty = std::make_shared<Movie>();
  empty->timeline.frames.emplace_back();
  ReplaceContent(target, std::move(empty));
}

Instance* Player::ReplaceContent(Instance& target, std::shared_ptr<const Movie> movie) {
  const auto parent = target.parent.lock();
  const DisplayObject* at = DisplayOf(target);
  if (!parent || !at || target.unloaded) return nullptr;
  DisplayObject obj = *at;  // the placement, name and clip events stay
  obj.sprite.reset();
  obj.characterId = 0;
  SpriteDef sprite;
  sprite.timeline = movie->timeline;
  sprite.byteSize = movie->fileSize;
  sprite.movie = std::move(movie);
  obj.character = std::make_shared<const Character>(std::move(sprite));
  const bool byScript = obj.byScript;
  DisplayObject* placed = Instantiate(*parent, target.depth, std::move(obj), byScript);
  return placed ? placed->sprite.get() : nullptr;
}

void Player::DeliverMovieLoads() {
  if (!movieLoader_ || movieLoads_.empty()) return;
  for (auto& [ticket, response] : movieLoader_->Poll()) {
    // A copy: clang before 16 lets no lambda capture a structured binding (the fuzz build).
    const auto wanted = ticket;
    const auto it = std::find_if(movieLoads_.begin(), movieLoads_.end(), [&](const MovieLoad& l) { return l.ticket == wanted; });
    if (it == movieLoads_.end()) continue;
    const MovieLoad load = *it;
    movieLoads_.erase(it);
    auto* clip = dynamic_cast<ClipObject*>(load.target);
    const auto target = clip ? clip->instance() : nullptr;
    auto tell = [&](const char* event, std::vector<avm1::Value> args) {
      if (!load.listener) return;
      args.insert(args.begin(), avm1::Value::Str(event));
      vm_->CallFromHost([&] { vm_->CallMethod(load.listener, "broadcastMessage", args); });
    };
    const avm1::Value targetValue = avm1::Value::Obj(load.target);
    std::shared_ptr<const Movie> movie;
    if (response.ok && LooksLikeSwf(response.body)) {
      const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(response.body.data()), response.body.size());
      LoadResult loaded = player::LoadMovie(bytes);
      if (loaded.error == LoadError::None) movie = std::move(loaded.movie);
    } else if (response.ok) {
      const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(response.body.data()), response.body.size());
      if (auto image = DecodeImage(bytes, {}, {})) movie = ImageMovie(std::move(*image), response.body.size(), movie_->version);
    }
    if (!response.ok || !target) {
      tell("onLoadError", {targetValue, avm1::Value::Str("URLNotFound"), avm1::Value::Num(response.status)});
      continue;
    }
    const double size = static_cast<double>(response.body.size());
    tell("onLoadStart", {targetValue});
    tell("onLoadProgress", {targetValue, avm1::Value::Num(size), avm1::Value::Num(size)});
    tell("onLoadComplete", {targetValue, avm1::Value::Num(response.status)});
    if (!movie) {
      tell("onLoadError", {targetValue, avm1::Value::Str("LoadNeverCompleted"), avm1::Value::Num(response.status)});
      continue;
    }
    Instance* fresh = ReplaceContent(*target, std::move(movie));
    RunQueue();  // the new content's first frame runs before onLoadInit
    if (fresh && !fresh->detached) tell("onLoadInit", {avm1::Value::Obj(ObjectOf(*fresh))});
  }
}

}  // namespace quillon::player
