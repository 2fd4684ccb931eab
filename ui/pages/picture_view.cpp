#include "ui/pages/picture_view.h"

#include <fstream>

#include "app/image/jpeg_exif.h"
#include "foundation/base/unicode.h"

namespace picture_view {

Fit FitPicture(float w, float h, float W, float H) {
  Fit fit;
  if (W == 0 || H == 0 || w == 0 || h == 0) return fit;
  // Fit the height first ...
  float e = w;
  float g = h;
  const float r = h / H;
  if (r > 1) {
    g = H;
    e = w / r;
  }
  // ... then the width.
  const float m = e / W;
  if (m > 1) {
    e = W;
    g = g / m;
  }
  fit.width = e;
  fit.height = g;
  fit.ok = true;
  return fit;
}

std::shared_ptr<DuiLib::TImageInfo> RotateClockwise(const DuiLib::TImageInfo& image, int quarter_turns) {
  const int turns = ((quarter_turns % 4) + 4) % 4;
  auto out = std::make_shared<DuiLib::TImageInfo>(image);
  const int w = image.nX;
  const int h = image.nY;
  if (turns == 0 || w <= 0 || h <= 0 || image.pixels.size() < static_cast<size_t>(w) * h) return out;
  out->serial = 0;
  std::vector<uint32_t>& px = out->pixels;
  const std::vector<uint32_t>& in = image.pixels;
  if (turns == 2) {
    for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) px[i] = in[n - 1 - i];
    return out;
  }
  // A quarter turn: the new picture is h wide and w high.
  out->nX = h;
  out->nY = w;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t p = in[static_cast<size_t>(y) * w + x];
      int nx, ny;
      if (turns == 1) {  // clockwise: (x, y) -> (h - 1 - y, x)
        nx = h - 1 - y;
        ny = x;
      } else {  // three quarters: (x, y) -> (y, w - 1 - x)
        nx = y;
        ny = w - 1 - x;
      }
      px[static_cast<size_t>(ny) * h + nx] = p;
    }
  }
  return out;
}

std::string WithoutExif(const std::string& bytes) {
  std::string out = bytes;
  auto at = [&](size_t i) { return static_cast<uint8_t>(out[i]); };
  if (out.size() < 4 || at(0) != 0xFF || at(1) != 0xD8) return out;
  size_t pos = 2;
  while (pos + 4 <= out.size() && at(pos) == 0xFF) {
    const uint8_t marker = at(pos + 1);
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // start of scan, end of image
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      pos += 2;
      continue;
    }
    const size_t length = (static_cast<size_t>(at(pos + 2)) << 8) | at(pos + 3);
    if (length < 2 || pos + 2 + length > out.size()) break;
    if (marker == 0xE1 && length >= 8 && out.compare(pos + 4, 6, std::string("Exif\0\0", 6)) == 0) {
      out.erase(pos, 2 + length);
      continue;
    }
    pos += 2 + length;
  }
  return out;
}

std::shared_ptr<DuiLib::TImageInfo> LoadUpright(const std::u16string& path, std::string* error) {
  const std::string file = unicode::Utf16ToUtf8(path.data(), path.size());
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open " + file;
    return nullptr;
  }
  // No picture the viewer can show is larger than this; a bigger file is refused unread.
  constexpr std::streamoff kMaxFile = 256 << 20;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxFile) {
    if (error) *error = "unreadable or too large: " + file;
    return nullptr;
  }
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(&bytes[0], size)) {
    if (error) *error = "cannot read " + file;
    return nullptr;
  }
  const auto* head = reinterpret_cast<const uint8_t*>(bytes.data());
  const int turns = RotationForOrientation(ReadJpegSections(head, bytes.size()).info.orientation);
  std::string why;
  std::shared_ptr<DuiLib::TImageInfo> image = DuiLib::DecodeImage(WithoutExif(bytes), 0, &why);
  if (!image) {
    if (error) *error = why.empty() ? "cannot decode " + file : why;
    return nullptr;
  }
  return turns ? RotateClockwise(*image, turns) : image;
}

Arrows ArrowsFor(int i, int n) {
  if (n <= 1) return {false, false};
  if (i > 0 && i < n - 1) return {true, true};
  if (i >= n - 1) return {true, false};
  return {false, true};
}

int IndexOf(const std::vector<int32_t>& ids, int32_t id) {
  for (size_t i = 0; i < ids.size(); ++i)
    if (ids[i] == id) return static_cast<int>(i);
  return 0;
}

int32_t IdAt(const std::vector<int32_t>& ids, int i) {
  return i < 0 || i >= static_cast<int>(ids.size()) ? 0 : ids[static_cast<size_t>(i)];
}

}  // namespace picture_view
