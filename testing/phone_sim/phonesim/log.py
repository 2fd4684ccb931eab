"""Log lines of the simulator, and the record of protocol errors.

Every strictness failure (unknown command, missing request child, malformed
request, unknown service) goes through `error`: it is printed to stderr and
kept, so a test can ask the control channel for the list and fail on drift.
`_lock` guards `_errors`; the functions are safe from any thread.
"""

import sys
import threading
import time

_lock = threading.Lock()
_errors = []
verbose = False
# `_write_lock` serialises the lines on stderr and guards `_silent`: once
# silent (the simulator is leaving), no thread writes any more.
_write_lock = threading.Lock()
_silent = False


def _emit(level, area, text):
    line = "%s phonesim %s [%s] %s\n" % (time.strftime("%H:%M:%S"), level, area, text)
    with _write_lock:
        if _silent:
            return
        try:
            sys.stderr.write(line)
            sys.stderr.flush()
        except (OSError, ValueError):
            pass


def silence():
    """No more lines from any thread (called once the simulator shut down)."""
    global _silent
    with _write_lock:
        _silent = True


def info(area, text):
    if verbose:
        _emit("INFO", area, text)


def error(area, text):
    with _lock:
        _errors.append("[%s] %s" % (area, text))
    _emit("ERROR", area, text)


def errors():
    with _lock:
        return list(_errors)


def clear_errors():
    with _lock:
        _errors.clear()
