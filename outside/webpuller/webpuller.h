// libwebpuller.so: our stand-in for the outside HTTP download library that
// devwarden binds by name. It downloads driver packages by their 16-byte
// package key over HTTP(S) with libcurl, one worker thread per download.
//
// The address of a package is the configured base followed by "/" and the
// key as 32 lower-case hexadecimal digits. The base comes from the
// environment variable WEBPULLER_BASE_URL (http or https); without it no
// download starts. A download is written to a temporary file in the
// download folder and renamed to <folder>/<32 hex digits> when complete.
//
// Download states: 4 queued or running, 6 finished, 7 failed (HTTP error,
// refused or dropped connection, write error), 5 stopped. An unknown id
// answers 7. All procedures may be called from any thread.
#ifndef OUTSIDE_WEBPULLER_WEBPULLER_H_
#define OUTSIDE_WEBPULLER_WEBPULLER_H_

#include <cstdint>

#define WEBPULLER_API extern "C" __attribute__((visibility("default")))

enum : int {
  WEBPULLER_RUNNING = 4,
  WEBPULLER_STOPPED = 5,
  WEBPULLER_FINISHED = 6,
  WEBPULLER_FAILED = 7,
};

// The folder later downloads are written to (UTF-16 path; made when missing).
WEBPULLER_API void DLSetDownloadPath(const char16_t* folder);
// Starts downloading the package with this key; the download's id (1, 2,
// ...), or 0 when no base address or folder is set or the key is null.
WEBPULLER_API int DLStartDownload(const uint8_t* key16);
// Stops a queued or running download (its temporary file is removed); a
// finished or failed one keeps its state.
WEBPULLER_API void DLStopDownload(int id);
WEBPULLER_API int DLGetDownloadStatus(int id);
// Size announced by the server (0 until known), bytes written so far.
WEBPULLER_API uint64_t DLGetTotalSize(int id);
WEBPULLER_API uint64_t DLGetDownloadSize(int id);
// Bytes per second over the last second or so; 0 when idle.
WEBPULLER_API int DLGetDownloadSpeed(int id);
// The full path of the downloaded file, UTF-16 with its terminator, into a
// buffer of 260 characters; returns its length. A path that does not fit
// (or an unknown id) writes an empty text and returns 0.
WEBPULLER_API int DLGetDownloadFileName(int id, char16_t* path260);
// Stops every download, waits for the workers and forgets all ids.
WEBPULLER_API void DLDestroyAll(void);

#endif  // OUTSIDE_WEBPULLER_WEBPULLER_H_
