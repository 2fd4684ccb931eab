// The statistics library Tallyhand: twelve exports bound by name.
// Threading: OpenStatLibrary and CloseStatLibrary run on the main thread
// before the workers start and after they stopped; the wrappers may be
// called from any thread in between.
#pragma once

#include <cstdint>

// Loads "Tallyhand.dll" from the program folder (CConfigMgr::GetAppFilePath),
// binds the exports and calls STInit; STInit's answer, false when the file
// is missing or STInit is not exported.
bool OpenStatLibrary();
// STUninit when bound, then frees the library and clears the bindings.
void CloseStatLibrary();

// Each does nothing (and answers 0) when its export is not bound.
void StatSetUnionID(uint16_t id);
void StatSetAppID(int id);
int StatSetVersion(uint32_t low_word, uint32_t high_word);
void StatOnline();
void StatOffline();
int StatAction(int action, const char* text, int length, bool flag);
