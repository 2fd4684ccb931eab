// How the identifier is derived (pure, for tests).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hostmark {

using Identifier = std::array<uint8_t, 16>;

// 16 bytes derived from a machine's id text: two 64-bit FNV-1a sums of the
// text, each under its own salt, so the raw machine id never leaves the
// machine. The text is trimmed of blanks and line ends first.
Identifier DeriveIdentifier(const std::string& machine_id_text);

// The machine id text: the first line of the first of `files` that has one
// (by default /etc/machine-id, then /var/lib/dbus/machine-id), else the host
// name and the host id together.
std::string ReadMachineIdText(const std::vector<std::string>& files = {"/etc/machine-id",
                                                                      "/var/lib/dbus/machine-id"});

}  // namespace hostmark
