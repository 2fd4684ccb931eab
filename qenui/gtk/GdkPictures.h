// Picture decoding with gdk-pixbuf (PNG, JPEG, BMP, GIF and the rest of its
// loaders) for the library's image cache. Pictures over 16384 pixels a side
// or 64 megapixels are refused before their pixels are allocated; photos are
// turned upright by their EXIF orientation; an animated GIF gives its first
// frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace DuiLib {

bool DecodePictureGdk(const std::string& bytes, int* width, int* height, std::vector<uint32_t>* argb);

}  // namespace DuiLib
