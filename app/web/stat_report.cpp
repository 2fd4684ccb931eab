#include "app/web/stat_report.h"

#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/bindings/lettermill_interface.h"
#include "app/bindings/stat_library.h"
#include "app/config/config_mgr.h"
#include "app/connect/connect_state.h"

namespace {

const char* const kActionNames[] = {"download", "update", "install", "connect"};
const char* const kResultNames[] = {"success", "failed", "start", "stop"};

// jsoncpp's styled form: sorted members, three spaces, UTF-8 kept readable.
std::string StyledJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "   ";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value) + "\n";
}

std::string ReportUrl(const char* act, uint16_t union_id) {
  char path[260];
  std::snprintf(path, sizeof path, "/service/ClientRep.ashx?act=%s&uid=%d&hostmark=", act, union_id);
  return StatHost() + path;
}

}  // namespace

const char* StatActionName(int index) { return index >= 0 && index <= 3 ? kActionNames[index] : nullptr; }
const char* StatResultName(int index) { return index >= 0 && index <= 3 ? kResultNames[index] : nullptr; }

std::string StatHost() {
  const char* host = std::getenv(kStatHostEnv);
  std::string text = (host != nullptr && host[0] != '\0') ? host : kDefaultStatHost;
  while (!text.empty() && text.back() == '/') text.pop_back();
  return text;
}

std::string ApkStatUrl(uint16_t union_id) { return ReportUrl("apkstat", union_id); }
std::string ConnectStatUrl(uint16_t union_id) { return ReportUrl("connectstat", union_id); }

std::string BuildApkStatJson(int action, int result, const char* app_name, const char* package, const char* app_id,
                             const char* source) {
  if (app_name == nullptr || package == nullptr) return std::string();
  if (StatActionName(action) == nullptr || StatResultName(result) == nullptr) return std::string();
  Json::Value body(Json::objectValue);
  body["action"] = StatActionName(action);
  body["result"] = StatResultName(result);
  body["appname"] = app_name;
  body["package"] = package;
  body["appid"] = app_id != nullptr ? app_id : "";
  body["from"] = source != nullptr ? source : "";
  return StyledJson(body);
}

std::string BuildConnectStatJson(int action, int state, const char* brand, const char* product, const char* vid,
                                 const char* pid, const char* serial) {
  if (brand == nullptr || product == nullptr || vid == nullptr || pid == nullptr || serial == nullptr) {
    return std::string();
  }
  if (StatActionName(action) == nullptr) return std::string();
  Json::Value body(Json::objectValue);
  body["action"] = StatActionName(action);
  body["status"] = ConnStateName(state);
  body["bandname"] = brand;
  body["productname"] = product;
  body["vid"] = vid;
  body["pid"] = pid;
  body["sn"] = serial;
  return StyledJson(body);
}

void ReportUserAction(int action_id, int /*ignored*/, const char* text) {
  if (action_id == 0) return;
  const char* t = text != nullptr ? text : "";
  StatAction(action_id, t, static_cast<int>(std::strlen(t)), false);
}

void ReportApkStat(int action, int result, const char* app_name, const char* package, const char* app_id,
                   const char* source) {
  const std::string body = BuildApkStatJson(action, result, app_name, package, app_id, source);
  if (body.empty()) return;
  CLettermillInterface::Instance()->Lettermill(ApkStatUrl(GetUnionID()), body, 1, 1);
}

void ReportConnectStat(int action, int state, const char* brand, const char* product, const char* vid,
                       const char* pid, const char* serial) {
  const std::string body = BuildConnectStatJson(action, state, brand, product, vid, pid, serial);
  if (body.empty()) return;
  CLettermillInterface::Instance()->Lettermill(ConnectStatUrl(GetUnionID()), body, 1, 1);
}
