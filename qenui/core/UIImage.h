// Image strings ("file='..' source='..' corner='..' dest='..'") and
// decoding of PNG/JPEG bytes into TImageInfo.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "qenui/core/UIRender.h"

namespace DuiLib {

struct TDrawInfo {
  CDuiString sFile;         // resource name or absolute path
  RECT rcSource;            // zero = whole picture
  RECT rcCorner;            // 9-slice corners (left, top, right, bottom widths)
  RECT rcDest;              // relative to the control; zero = whole control
  bool bHasDest = false;
  bool bHasSource = false;
  BYTE uFade = 255;
  DWORD dwMask = 0;
  bool bHole = false;
  bool bTiledX = false, bTiledY = false;
};

// Parses an image string: either a bare file name or key='value' pairs.
TDrawInfo ParseDrawInfo(const CDuiString& s);

// Decodes PNG or JPEG bytes; null (with a reason in *error) for anything else.
// A back end's picture decoder, when set, is tried first.
std::shared_ptr<TImageInfo> DecodeImage(const std::string& bytes, DWORD mask, std::string* error);

// The largest picture any decoder accepts: 16384 pixels a side and 64
// megapixels; decoders check it before they allocate the pixels.
bool IsPictureSizeAllowed(uint64_t width, uint64_t height);

// A back end's picture decoder (GTK: gdk-pixbuf, which also reads BMP and GIF).
// Fills the size and straight ARGB pixels, row-major; false to decline.
using PictureDecoder = bool (*)(const std::string& bytes, int* width, int* height, std::vector<uint32_t>* argb);
void SetPictureDecoder(PictureDecoder decoder);

// Draws `image` into rcDest with 9-slice corners through the render target.
void DrawImageSliced(IRenderTarget* rt, const TImageInfo& image, const RECT& rcDest, const RECT& rcSource,
                     const RECT& rcCorner, BYTE fade, bool hole);

// "l,t,r,b" → RECT; missing values are 0.
RECT ParseRect(const char16_t* s);
// "#AARRGGBB", "#RRGGBB" or "0x.."; six digits get an opaque alpha.
DWORD ParseColor(const char16_t* s);

}  // namespace DuiLib
