// The UI thread's font map, warmed on a worker while GTK starts.
//
// The first paint of a window spends most of its time choosing, opening and
// shaping fonts. StartFontWarmUp makes a font map of its own on a worker
// thread and lays out and draws sample texts in the face that stands in for
// the layouts' Windows faces, at the sizes the layouts use, with the render
// target's font options. The first thread that draws or measures text takes
// that map as its default (AdoptWarmFontMap), so its first paint finds those
// fonts ready.
//
// Threading: StartFontWarmUp once, from the thread that starts GTK.
// AdoptWarmFontMap from any thread: the first caller waits for the worker
// and takes the map; a pango font map belongs to one thread at a time, so
// later callers and other threads keep their own default maps.
#pragma once

namespace DuiLib {

void StartFontWarmUp();
void AdoptWarmFontMap();

}  // namespace DuiLib
