// What the phone link needs of parts built elsewhere, as narrow seams with
// null implementations until those parts install theirs:
//   - the phone front object (CPhone): made by the connection manager on the
//     connected state, initialised with the serial, asked whether it is
//     connected, and asked for screenshots by the screenshot thread;
//   - the task manager (CAutoTaskMgr): settles its tasks in status 8 when
//     the link's threads are stopped.
//
// Threading: the setters run on the main thread before the connection
// manager starts (and at teardown after it stopped); the rest from any thread.
#pragma once

#include <memory>
#include <string>

class IPhone {
 public:
  virtual ~IPhone() = default;
  // Stores the serial and starts the phone's work (counts, screenshot).
  virtual void Init(const std::u16string& serial) = 0;
  // Whether the phone reports itself connected.
  virtual bool IsConnected() = 0;
  // One screenshot: into memory (null path) or into the file at `path`.
  virtual void GetScreenShot(const char16_t* path) = 0;
};

// Makes a phone front object.
using PhoneFactory = std::shared_ptr<IPhone> (*)();
// Installs the factory; null restores the null phone (it keeps its serial,
// reports itself connected and takes no screenshot).
void SetPhoneFactory(PhoneFactory factory);
std::shared_ptr<IPhone> MakePhone();

// Installs what settles the task manager's tasks in status 8; null: nothing.
void SetTaskSettler(void (*settle)());
void SettleTasks();
