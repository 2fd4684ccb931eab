// libKitplanter.so: our stand-in for the outside driver setup library that
// devwarden binds by name. An Android phone needs no driver on Linux; what
// it needs is access to its USB device node. So the setup of a device:
//   1. When the device's node (/dev/bus/usb/BBB/DDD) can already be opened
//      for reading and writing: success, and nothing is written.
//   2. Otherwise a udev rule granting access to the devices of its USB
//      vendor is written (51-phonedeck-<vid>.rules; written to a temporary
//      file and renamed, left alone when it already says the same), and udev
//      is told to reload its rules and re-apply them to that vendor's
//      devices ("udevadm control --reload-rules", "udevadm trigger ...";
//      each run with a time-out).
//   3. No right to write the rule: failure, and a line on standard error
//      with the rule for an administrator to install.
//   4. Rule written but udev not running (or not answering): "success, the
//      device must be plugged in again".
// The downloaded driver package is never installed as a rule: its path is
// only checked to exist.
//
// Settings (environment): KITPLANTER_RULES_DIR (default /etc/udev/rules.d),
// KITPLANTER_UDEVADM (default udevadm from PATH), KITPLANTER_TIMEOUT_MS
// (each udevadm run, default 10000), KITPLANTER_SYSFS_ROOT (default /sys),
// KITPLANTER_DEV_ROOT (default /dev).
#ifndef OUTSIDE_KITPLANTER_KITPLANTER_H_
#define OUTSIDE_KITPLANTER_KITPLANTER_H_

#define KITPLANTER_API extern "C" __attribute__((visibility("default")))

// Install codes of QENKitplanter.
enum : int {
  QEN_SETUP_SUCCESS = 1,
  QEN_SETUP_SUCCESS_REBOOT = 2,   // here: the rule is in place; plug the device in again
  QEN_SETUP_ERROR_UNKNOWN = 0,
  QEN_SETUP_INVALID_PATH = -1,    // the package file does not exist
  QEN_SETUP_ERROR_SWPACK = -4,
  QEN_SETUP_UNZIP_FAIL = -9,
  QEN_SETUP_ERROR_INTERFACE = -15,
};

// Kept for the caller's sake; they change nothing here.
KITPLANTER_API void QENSetDevType(int type);
KITPLANTER_API void QENSetExeFirst(int first);
// The package the next QENKitplanter on this thread belongs to (UTF-16
// path; null or empty: none) and its setup type.
KITPLANTER_API void QENSetDriverPackage(const char16_t* path, int setup_type);
// Sets up the device with this bus id ("USB\VID_xxxx&PID_xxxx", any case).
KITPLANTER_API int QENKitplanter(const char16_t* bus_id);

#endif  // OUTSIDE_KITPLANTER_KITPLANTER_H_
