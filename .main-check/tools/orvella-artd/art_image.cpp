// JPEG pictures rendered per item and size for the local service.
#include "tools/orvella-artd/art_image.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace orvella::artd {
namespace {

uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001B3ull;
  return hash;
}

// A small deterministic generator for the picture's features and the padding.
struct XorShift {
  uint64_t state;
  uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
};

struct Rgb {
  double r, g, b;
};

Rgb FromColor(uint32_t color) {
  return {static_cast<double>((color >> 16) & 0xFF), static_cast<double>((color >> 8) & 0xFF),
          static_cast<double>(color & 0xFF)};
}

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

unsigned char Clamp(double v) {
  return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
}

struct Disc {
  double x, y, radius;
  Rgb color;
};

// A diagonal gradient of the item's colour with a few soft discs placed by its id.
void PaintBackground(const ArtItem& item, int width, int height, std::vector<unsigned char>& rgb) {
  XorShift random{Fnv1a(item.id) | 1};
  const Rgb base = FromColor(item.color);
  const Rgb light = Mix(base, {255, 255, 255}, 0.55);
  const Rgb dark = Mix(base, {0, 0, 0}, 0.6);
  const double scale = std::min(width, height);
  std::vector<Disc> discs(5);
  for (Disc& disc : discs) {
    disc.x = random.Unit() * width;
    disc.y = random.Unit() * height;
    disc.radius = (0.08 + random.Unit() * 0.25) * scale;
    disc.color = Mix(base, {random.Unit() * 255, random.Unit() * 255, random.Unit() * 255}, 0.5);
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double t = (static_cast<double>(x) / width + static_cast<double>(y) / height) / 2;
      Rgb pixel = Mix(light, dark, t);
      for (const Disc& disc : discs) {
        const double dx = x - disc.x, dy = y - disc.y;
        const double d2 = (dx * dx + dy * dy) / (disc.radius * disc.radius);
        if (d2 < 1) pixel = Mix(pixel, disc.color, 0.7 * (1 - d2));
      }
      unsigned char* out = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      out[0] = Clamp(pixel.r);
      out[1] = Clamp(pixel.g);
      out[2] = Clamp(pixel.b);
    }
  }
}

// A clock face in the middle: a light dial, twelve marks and two hands at a time that
// depends on the item.
void PaintClock(const ArtItem& item, int width, int height, std::vector<unsigned char>& rgb) {
  const double cx = width / 2.0, cy = height / 2.0;
  const double radius = std::min(width, height) * 0.35;
  const uint64_t hash = Fnv1a(item.id);
  const double pi = 3.14159265358979323846;
  const double hourAngle = static_cast<double>(hash % 12) / 12 * 2 * pi;
  const double minuteAngle = static_cast<double>((hash >> 8) % 60) / 60 * 2 * pi;
  auto nearHand = [&](double px, double py, double angle, double length, double thickness) {
    const double ux = std::sin(angle), uy = -std::cos(angle);
    const double along = px * ux + py * uy;
    const double across = std::fabs(px * uy - py * ux);
    return along > 0 && along < length && across < thickness;
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double px = x - cx, py = y - cy;
      const double r = std::sqrt(px * px + py * py);
      if (r > radius) continue;
      unsigned char* out = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      unsigned char shade = 235;
      const double angle = std::atan2(px, -py);
      const double mark = std::fmod(angle + 2 * pi, pi / 6);
      if (r > radius * 0.85 && (mark < 0.03 || mark > pi / 6 - 0.03)) shade = 40;
      if (nearHand(px, py, hourAngle, radius * 0.5, radius * 0.04) ||
          nearHand(px, py, minuteAngle, radius * 0.8, radius * 0.025)) {
        shade = 20;
      }
      if (r > radius * 0.97) shade = 60;
      out[0] = out[1] = out[2] = shade;
    }
  }
}

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  unsigned char* output;
  unsigned long outputSize;
};

void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// libjpeg reports errors by calling error_exit, which must not return; it jumps back here.
// No object with a destructor lives between setjmp and the jump.
std::string EncodeJpeg(const std::vector<unsigned char>& rgb, int width, int height, int quality) {
  jpeg_compress_struct info;
  JpegErrors errors;
  errors.output = nullptr;
  errors.outputSize = 0;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = OnJpegError;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&info);
    std::free(errors.output);
    throw std::runtime_error("JPEG encoding failed");
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &errors.output, &errors.outputSize);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(&rgb[static_cast<std::size_t>(info.next_scanline) * width * 3]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<const char*>(errors.output), errors.outputSize);
  std::free(errors.output);
  return bytes;
}

// Grows `jpeg` to at least minBytes with comment segments placed after the JFIF header;
// decoders skip them by their length.
void PadJpeg(std::string& jpeg, std::size_t minBytes, uint64_t seed) {
  if (jpeg.size() >= minBytes || jpeg.size() < 4) return;
  std::size_t at = 2;  // after SOI
  if (static_cast<unsigned char>(jpeg[2]) == 0xFF && static_cast<unsigned char>(jpeg[3]) == 0xE0) {
    at += 2 + ((static_cast<unsigned char>(jpeg[4]) << 8) | static_cast<unsigned char>(jpeg[5]));
  }
  std::string padding;
  std::size_t missing = minBytes - jpeg.size();
  XorShift random{seed | 1};
  while (missing > 0) {
    // A segment is at least 4 bytes (marker and length) and carries at most 65533 bytes.
    const std::size_t payload = std::min<std::size_t>(65533, missing > 4 ? missing - 4 : 0);
    const std::size_t length = payload + 2;
    padding += '\xFF';
    padding += '\xFE';
    padding += static_cast<char>(length >> 8);
    padding += static_cast<char>(length & 0xFF);
    for (std::size_t i = 0; i < payload; ++i) padding += static_cast<char>(random.Next() >> 56);
    missing -= std::min(missing, payload + 4);
  }
  jpeg.insert(at, padding);
}

}  // namespace

std::string RenderArtJpeg(const ArtItem& item, ArtKind kind, int width, int height,
                          const ImageOptions& options) {
  if (width < 1 || height < 1) throw std::runtime_error("image size must be positive");
  std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
  PaintBackground(item, width, height, rgb);
  if (kind == ArtKind::kClock) PaintClock(item, width, height, rgb);
  const int quality = options.quality < 1 ? 1 : options.quality > 100 ? 100 : options.quality;
  std::string jpeg = EncodeJpeg(rgb, width, height, quality);
  PadJpeg(jpeg, options.minBytes, Fnv1a(item.id + "/" + std::to_string(width)));
  return jpeg;
}

std::shared_ptr<const std::string> ImageCache::Get(const std::string& key,
                                                   const std::function<std::string()>& render) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = index_.find(key);
    if (found != index_.end()) {
      order_.splice(order_.begin(), order_, found->second);
      return found->second->second;
    }
  }
  auto image = std::make_shared<const std::string>(render());
  std::lock_guard<std::mutex> lock(mutex_);
  if (index_.count(key) != 0 || image->size() > budget_) return image;
  order_.emplace_front(key, image);
  index_[key] = order_.begin();
  used_ += image->size();
  while (used_ > budget_) {
    used_ -= order_.back().second->size();
    index_.erase(order_.back().first);
    order_.pop_back();
  }
  return image;
}

}  // namespace orvella::artd
