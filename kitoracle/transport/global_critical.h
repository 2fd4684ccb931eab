// The lock that serialises every exchange of every process of one program
// file on the machine: an flock on a lock file named after the lock, in a
// folder private to the user ($XDG_RUNTIME_DIR, else $TMPDIR/phonedeck-<uid>,
// made 0700; its owner and type are checked and no link is followed). The
// kernel drops a dead holder's flock, so a crashed process never blocks the
// next one.
//
// Threading: flock serialises processes, not the threads of one process
// (they share the descriptor), so Enter first takes an in-process mutex and
// then the flock; Leave releases both. Without a lock file (name refused,
// folder or file unusable) Enter/Leave still serialise the process's own
// threads. SetName runs under the caller's own serialisation (CSearch::Init
// before its Enter).
#ifndef KITORACLE_TRANSPORT_GLOBAL_CRITICAL_H_
#define KITORACLE_TRANSPORT_GLOBAL_CRITICAL_H_

#include <mutex>
#include <string>

namespace kitoracle {

class CGlobalCritical {
 public:
  ~CGlobalCritical();
  // Opens (creating) the lock file of `name`, which must begin with
  // "Global\" (any case) and be at least 8 characters long.
  bool SetName(const std::u16string& name);
  bool HasFile() const { return fd_ >= 0; }
  void Enter();
  void Leave();

  // The lock file's path for a name (pure, for tests): the private folder,
  // then the name after "Global\" with every character but letters, digits
  // and "-_.{}" made '_'.
  static std::string LockFilePath(const std::string& folder, const std::u16string& name);
  // The private folder, made when missing; empty when it is not the user's.
  static std::string PrivateFolder();

 private:
  std::mutex threads_;  // serialises this process's threads around the flock
  int fd_ = -1;
  std::u16string name_;
};

}  // namespace kitoracle

#endif  // KITORACLE_TRANSPORT_GLOBAL_CRITICAL_H_
