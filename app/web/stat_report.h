// Usage statistics: numbered user actions (through the statistics library)
// and two JSON reports posted to the statistics service through the HTTP
// posting library: "apkstat" (app downloads and installs) and
// "connectstat" (phone connections). Fire and forget: nobody waits for an
// answer, and a report whose body cannot be built is not sent.
//
// The service host: PHONEDECK_STAT_HOST (scheme, host and port, e.g.
// "http://127.0.0.1:8080"), default kDefaultStatHost.
//
// Texts are UTF-8 (this platform's ANSI code page); a null text is missing.
// Threading: any thread; each call builds its own body and URL.
#pragma once

#include <cstdint>
#include <string>

constexpr char kStatHostEnv[] = "PHONEDECK_STAT_HOST";
constexpr char kDefaultStatHost[] = "http://127.0.0.1";

// Action names (index 0-3) and result names (index 0-3).
enum StatAction { kStatDownload = 0, kStatUpdate = 1, kStatInstall = 2, kStatConnect = 3 };
enum StatResult { kStatSuccess = 0, kStatFailed = 1, kStatStart = 2, kStatStop = 3 };

// The name for an index, or null above 3 (or below 0).
const char* StatActionName(int index);
const char* StatResultName(int index);

// The statistics host now (the environment, else the default).
std::string StatHost();
// The report URLs for a union id: host + "/service/ClientRep.ashx?act=...&uid=<id>&hostmark=".
std::string ApkStatUrl(uint16_t union_id);
std::string ConnectStatUrl(uint16_t union_id);

// The bodies, as jsoncpp's styled output (members sorted by name, three
// spaces of indentation, readable UTF-8, a newline at the end); empty when
// a required text is missing or an index is out of range.
// `app_id` and `source` may be null: they are sent as empty strings.
std::string BuildApkStatJson(int action, int result, const char* app_name, const char* package,
                             const char* app_id = nullptr, const char* source = nullptr);
// `state` is a connection state number; its name goes into "status".
std::string BuildConnectStatJson(int action, int state, const char* brand, const char* product, const char* vid,
                                 const char* pid, const char* serial);

// Reports through the statistics library: nothing for id 0.
void ReportUserAction(int action_id, int ignored, const char* text);
// Build the body and post it (CLettermillInterface::Lettermill(url, body, 1, 1)); nothing when empty.
void ReportApkStat(int action, int result, const char* app_name, const char* package, const char* app_id = nullptr,
                   const char* source = nullptr);
void ReportConnectStat(int action, int state, const char* brand, const char* product, const char* vid,
                       const char* pid, const char* serial);
