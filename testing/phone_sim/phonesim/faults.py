"""Fault modes, switched on by CLI flags or through the control channel.

A fault is written `kind[=value][@command]`:
  refuse            agent port refuses connections (the adb stream is closed at once)
  close             agent reads the request and closes without a reply
  result0           reply <response result="0"/>
  wrongroot         reply with root <reply result="1"/> instead of <response>
  slow[=ms]         wait before replying (default 3000 ms)
  split[=n]         reply in pieces of n bytes (default 7), one adb packet each
  exact512          reply padded with blanks to exactly 512 bytes
  offline           the device drops its adb connections and answers no CNXN
  install=<TEXT>    `pm install` prints "Failure [<TEXT>]"; TEXT "NO_SPACE" makes
                    the push fail with "No space left on device" instead
  installhold       `pm install` waits until the fault is cleared (at most
                    two minutes, then fails), so a test can act while an
                    install runs; the control command `held` counts the waits
  ftpcut[=n]        an FTP data connection is cut after n bytes towards the PC
                    (default 512): a download ends short, as when the link drops
`@command` limits an agent fault to one command id (e.g. result0@sms_list);
"connect" is a command like any other.

`Faults._lock` guards the table and the count of held installs; held
installs wait on `_released` (a Condition on that lock), which `clear`
notifies. The device is told about `offline` through the listener callback,
which runs outside the lock.
"""

import threading

AGENT_KINDS = ("refuse", "close", "result0", "wrongroot", "slow", "split", "exact512")
DEVICE_KINDS = ("offline", "install", "installhold", "ftpcut")
INSTALL_HOLD_LIMIT = 120.0
INSTALL_FAILURES = (
    "INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES", "INSTALL_FAILED_ALREADY_EXISTS",
    "INSTALL_FAILED_INSUFFICIENT_STORAGE", "INSTALL_FAILED_MEDIA_UNAVAILABLE",
    "INSTALL_FAILED_OLDER_SDK", "INSTALL_CANCELED_BY_USER", "INSTALL_FAILED_INVALID_APK",
    "INSTALL_FAILED_VERSION_DOWNGRADE", "NO_SPACE")


class FaultError(Exception):
    pass


def parse(spec):
    """'kind[=value][@command]' -> (kind, value or None, command or None)."""
    spec = spec.strip()
    command = None
    if "@" in spec:
        spec, command = spec.split("@", 1)
    value = None
    if "=" in spec:
        spec, value = spec.split("=", 1)
    kind = spec.strip()
    if kind not in AGENT_KINDS + DEVICE_KINDS:
        raise FaultError("unknown fault %r" % kind)
    if kind in ("slow", "split", "ftpcut") and value is not None and not (value.isdigit() and int(value) > 0):
        raise FaultError("%s needs a positive number" % kind)
    if kind == "install" and value not in INSTALL_FAILURES:
        raise FaultError("install needs one of %s" % ", ".join(INSTALL_FAILURES))
    if command is not None and kind not in AGENT_KINDS[1:]:
        raise FaultError("%s takes no @command" % kind)
    return kind, value, command


class Faults:
    def __init__(self):
        self._lock = threading.Lock()
        self._active = []          # (kind, value, command)
        self._released = threading.Condition(self._lock)
        self._held = 0             # `pm install` commands waiting for installhold to clear
        self.on_offline_change = None

    def add(self, spec):
        kind, value, command = parse(spec)
        with self._lock:
            self._active = [f for f in self._active if not (f[0] == kind and f[2] == command)]
            self._active.append((kind, value, command))
        if kind == "offline" and self.on_offline_change:
            self.on_offline_change(True)

    def clear(self, kind=None):
        with self._lock:
            was_offline = any(f[0] == "offline" for f in self._active)
            self._active = [f for f in self._active if kind is not None and f[0] != kind]
            now_offline = any(f[0] == "offline" for f in self._active)
            self._released.notify_all()
        if was_offline and not now_offline and self.on_offline_change:
            self.on_offline_change(False)

    def describe(self):
        with self._lock:
            return ["%s%s%s" % (k, "" if v is None else "=" + v, "" if c is None else "@" + c)
                    for k, v, c in self._active]

    def agent_faults(self, command):
        """{kind: value} of the agent faults that apply to this command id."""
        with self._lock:
            return {k: v for k, v, c in self._active
                    if k in AGENT_KINDS and (c is None or c == command)}

    def agent_refuses(self):
        with self._lock:
            return any(k == "refuse" for k, _, _ in self._active)

    def offline(self):
        with self._lock:
            return any(k == "offline" for k, _, _ in self._active)

    def ftp_cut(self):
        """Bytes a data connection carries towards the PC before it is cut, or None."""
        with self._lock:
            for k, v, _ in self._active:
                if k == "ftpcut":
                    return int(v or 512)
        return None

    def install_failure(self):
        with self._lock:
            for k, v, _ in self._active:
                if k == "install":
                    return v
        return None

    def hold_install(self, limit=INSTALL_HOLD_LIMIT):
        """Waits while `installhold` is on; False when it was still on after `limit` seconds."""
        def released():
            return not any(k == "installhold" for k, _, _ in self._active)
        with self._released:
            if released():
                return True
            self._held += 1
            try:
                return self._released.wait_for(released, limit)
            finally:
                self._held -= 1

    def held_installs(self):
        with self._lock:
            return self._held
