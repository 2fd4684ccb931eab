"""The phone's shell: the `shell:<command>` and `exec:<command>` services.

This phone runs without the shell protocol v2 (the banner does not offer
`shell_v2`), like older Android releases: `shell:` output comes through a
terminal, so its lines end in "\r\n"; `exec:` output is raw ("\n").

Known commands: getprop [name], pm list package(s) [-3|-s], pm install,
pm uninstall, pm path, am start [-n] <component>, dumpsys package <pkg>,
rm [-f|-r] <path>..., echo, ls <path>. Anything else prints the shell's
"not found" line and is logged as a protocol error.
"""

import os
import re
import shlex
import shutil

from . import log
from .fixture import PathError


_REDIRECTION = re.compile(r"^\d?(<|>>?)(&\d|/dev/null)$")


class Shell:
    def __init__(self, phone, packages):
        self.phone = phone
        self.packages = packages

    def serve(self, stream, command, terminal):
        out = self.run(command)
        if terminal:
            out = out.replace("\r\n", "\n").replace("\n", "\r\n")
        stream.write(out.encode("utf-8"))

    def run(self, command):
        try:
            argv = shlex.split(command)
        except ValueError as err:
            log.error("shell", "cannot parse %r: %s" % (command, err))
            return "/system/bin/sh: syntax error: %s\n" % err
        # adb appends "</dev/null" to the commands it runs itself.
        argv = [a for a in argv if not _REDIRECTION.match(a)]
        if not argv:
            log.error("shell", "interactive shell requested; not supported")
            return ""
        name, args = argv[0], argv[1:]
        handler = getattr(self, "cmd_" + name, None)
        if handler is None:
            log.error("shell", "unknown command %r" % command)
            return "/system/bin/sh: %s: not found\n" % name
        log.info("shell", command)
        return handler(args)

    def cmd_getprop(self, args):
        props = self.phone.properties
        if args:
            return props.get(args[0], args[1] if len(args) > 1 else "") + "\n"
        return "".join("[%s]: [%s]\n" % kv for kv in sorted(props.items()))

    def cmd_echo(self, args):
        return " ".join(args) + "\n"

    def cmd_pm(self, args):
        if not args:
            return "usage: pm [list|path|install|uninstall]\n"
        sub, rest = args[0], args[1:]
        if sub == "list" and rest[:1] in (["package"], ["packages"]):
            return self.packages.list_packages(rest[1:])
        if sub == "install":
            paths = [a for a in rest if not a.startswith("-")]
            if len(paths) != 1:
                return "Error: no package specified\n"
            return self.packages.install(paths[0], [a for a in rest if a.startswith("-")])
        if sub == "uninstall":
            names = [a for a in rest if not a.startswith("-")]
            if len(names) != 1:
                return "Error: no package specified\n"
            return self.packages.uninstall(names[0])
        if sub == "path" and len(rest) == 1:
            with self.phone.lock:
                known = rest[0] in self.phone.apps
            return "package:/data/app/%s-1.apk\n" % rest[0] if known else ""
        log.error("shell", "unsupported pm command %r" % " ".join(args))
        return "Error: unknown command '%s'\n" % sub

    def cmd_am(self, args):
        if args[:1] != ["start"]:
            log.error("shell", "unsupported am command %r" % " ".join(args))
            return "Error: unknown command\n"
        rest = args[1:]
        if "-n" in rest:
            i = rest.index("-n")
            component = rest[i + 1] if i + 1 < len(rest) else ""
        else:
            component = rest[-1] if rest else ""
        if "/" not in component:
            return "Error: Bad component name: %s\n" % component
        return self.packages.start_activity(component)

    def cmd_dumpsys(self, args):
        if args[:1] == ["package"] and len(args) == 2:
            return self.packages.version_dump(args[1])
        log.error("shell", "unsupported dumpsys %r" % " ".join(args))
        return "Can't find service: %s\n" % (args[0] if args else "")

    def cmd_rm(self, args):
        out = []
        for path in (a for a in args if not a.startswith("-")):
            try:
                host = self.phone.host_path(path)
            except PathError:
                continue
            if os.path.isdir(host) and not os.path.islink(host) and "-r" in "".join(args):
                shutil.rmtree(host, ignore_errors=True)
            elif os.path.lexists(host) and not os.path.isdir(host):
                os.remove(host)
            elif "-f" not in args:
                out.append("rm: %s: No such file or directory\n" % path)
        return "".join(out)

    def cmd_ls(self, args):
        paths = [a for a in args if not a.startswith("-")] or ["/"]
        out = []
        for path in paths:
            try:
                host = self.phone.host_path(path)
            except PathError:
                continue
            if os.path.isdir(host):
                out.extend(name + "\n" for name in sorted(os.listdir(host)))
            elif os.path.exists(host):
                out.append(path + "\n")
            else:
                out.append("%s: No such file or directory\n" % path)
        return "".join(out)
