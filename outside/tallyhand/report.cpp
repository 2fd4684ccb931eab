#include "report.h"

#include <json/json.h>

namespace tallyhand {

std::string VersionText(uint64_t version) {
  return std::to_string((version >> 48) & 0xFFFF) + "." + std::to_string((version >> 32) & 0xFFFF) + "." +
         std::to_string((version >> 16) & 0xFFFF) + "." + std::to_string(version & 0xFFFF);
}

std::string BuildReport(const Identity& identity, const std::string& event, const std::string& time,
                        int action, const std::string& text, int flag) {
  Json::Value report(Json::objectValue);
  report["event"] = event;
  report["time"] = time;
  report["appid"] = identity.app_id;
  report["unionid"] = identity.union_id;
  report["version"] = VersionText(identity.version);
  if (event == "action") {
    report["action"] = action;
    report["text"] = text;
    report["flag"] = flag;
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  writer["emitUTF8"] = true;
  return Json::writeString(writer, report);
}

}  // namespace tallyhand
