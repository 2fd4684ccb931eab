// Connects the workers' poster (app/core/phone_message.h) to the UI
// library's message queue. A message that carries a heap object (1225,
// 1238) is posted with a deleter, so when its window dies before it is
// dispatched the object is freed; a post that fails at once returns false
// and leaves the object with the caller (who frees it), so it is never
// freed twice.
//
// Threading: Install/Uninstall on the main thread before workers start and
// after they stop; the installed functions run on any thread.
#pragma once

void InstallWindowPoster();
void UninstallWindowPoster();
