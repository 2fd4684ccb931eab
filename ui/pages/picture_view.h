// What the picture viewer computes before it shows a picture: the picture
// turned upright by its EXIF orientation, the size it is shown at in the
// viewer's area, and which of its two arrows can be used. Pure functions;
// any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qenui/UIlib.h"

namespace picture_view {

// The shown size of a w x h picture in a W x H area: first fitted to the
// height, then to the width, in single precision; never enlarged. Zero
// sizes (of the picture or of the area) give {0, 0, false}.
struct Fit {
  float width = 0;
  float height = 0;
  bool ok = false;
};
Fit FitPicture(float w, float h, float W, float H);

// The picture turned clockwise by `quarter_turns` (0-3; others count modulo 4).
std::shared_ptr<DuiLib::TImageInfo> RotateClockwise(const DuiLib::TImageInfo& image, int quarter_turns);

// The bytes of a JPEG without its EXIF sections (APP1 "Exif"), so that a
// decoder gives the pixels as stored whether or not it would turn them by
// their orientation itself (back ends differ there). Anything that is not
// a well-formed JPEG head comes back unchanged past the point it breaks.
std::string WithoutExif(const std::string& bytes);

// The picture file at `path` decoded and turned upright by the EXIF
// orientation of a JPEG, turned here and only here; null (with the reason
// in *error) when it cannot be read.
std::shared_ptr<DuiLib::TImageInfo> LoadUpright(const std::u16string& path, std::string* error);

// The viewer's arrows for the picture at index i of n.
struct Arrows {
  bool previous = false;
  bool next = false;
};
Arrows ArrowsFor(int i, int n);

// The position of `id` in `ids` (0 when absent); the id at `i` (0 outside).
int IndexOf(const std::vector<int32_t>& ids, int32_t id);
int32_t IdAt(const std::vector<int32_t>& ids, int i);

}  // namespace picture_view
