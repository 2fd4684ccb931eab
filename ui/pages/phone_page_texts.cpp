#include "ui/pages/phone_page_texts.h"

#include <cmath>
#include <cstdio>

#include "app/adb/adb_output.h"
#include "app/task/task_records.h"
#include "foundation/base/code_page.h"
#include "qenui/UIlib.h"

namespace phone_pages {

namespace {

std::u16string Ascii(const char* text) { return AnsiToWString(text); }

}  // namespace

std::u16string AppKeyText(uint32_t key) { return TaskIdText(key); }

std::optional<uint32_t> ParseAppKey(const std::u16string& text) {
  uint32_t key = 0;
  if (!ParseTaskId(text, &key)) return std::nullopt;
  return key;
}

int DeriveAppStatus(int online_task_state, std::optional<int32_t> queued_kind) {
  if (online_task_state != -1) return online_task_state != 0 ? kRowUpdating : kRowNormal;
  if (!queued_kind) return kRowNormal;
  if (*queued_kind == 0) return kRowUpdating;
  if (*queued_kind == 2) return kRowUninstalling;
  return kRowNormal;
}

std::u16string StatusLabel(int status) {
  if (status == kRowUpdating) return u"升级中...";
  if (status == kRowUninstalling) return u"卸载中...";
  return std::u16string();
}

VersionTexts RowVersionTexts(const AppRecord& record) {
  VersionTexts out;
  if (!record.has_update) {
    out.local_version = record.version_name;
    return out;
  }
  out.update_visible = true;
  if (DuiLib::CompareNoCase(record.new_version_name.c_str(), record.version_name.c_str()) == 0) {
    out.update_version = record.new_version_name + u"(" + record.new_version_code + u")";
    out.local_version = record.version_name + u"(" + record.version_code + u")";
  } else {
    out.update_version = record.new_version_name;
    out.local_version = record.version_name;
  }
  return out;
}

std::u16string UninstallQuestion(const std::vector<std::u16string>& names, int checked) {
  if (names.empty() || checked <= 0) return std::u16string();
  std::u16string joined;
  for (const std::u16string& name : names) joined += name + u", ";
  joined.resize(joined.size() - 2);
  if (checked < 4) return u"您确定卸载应用\"" + joined + u"\"吗？";
  return u"您确定卸载\"" + joined + u"\"等" + Ascii(std::to_string(checked).c_str()) + u"个应用吗？";
}

std::optional<FailureView> InstallFailureView(int code) {
  if (code == 1) return std::nullopt;
  FailureView view;
  view.reason = adb::InstallErrorText(code);
  view.retry_visible = code == -2;
  view.reason_height = code == -2 ? 40 : 20;
  return view;
}

Badge UpdateBadge(int count, int text_width) {
  Badge badge;
  if (count < 1) return badge;
  badge.visible = true;
  badge.text = Ascii(std::to_string(count).c_str());
  badge.width = text_width + 12 < 20 ? 20 : text_width + 12;
  return badge;
}

int UsedPercent(double total, double available) {
  if (!(total > 0) || !std::isfinite(total) || !std::isfinite(available)) return 0;
  double share = (total - available) / total * 100.0;
  if (share <= 0) return 0;
  if (share >= 100) return 100;
  return static_cast<int>(share);
}

std::u16string FreeSpaceText(double available) {
  double mb = available / 1048576.0;
  char text[64];
  if (mb > 1024) std::snprintf(text, sizeof(text), "%.2lf", mb / 1024);
  else std::snprintf(text, sizeof(text), "%.2lf", mb);
  return u"(" + Ascii(text) + (mb > 1024 ? u"G可用)" : u"MB可用)");
}

std::u16string ProposedShotName(const std::tm& local_time) {
  char stamp[32];
  std::strftime(stamp, sizeof(stamp), "%Y%m%d%H%M%S", &local_time);
  return u"助手截图" + Ascii(stamp) + u".png";
}

std::u16string ShotFileName(const std::u16string& chosen) {
  if (chosen.empty()) return chosen;
  if (chosen.size() >= 4 && DuiLib::CompareNoCase(chosen.c_str() + chosen.size() - 4, u".png") == 0) return chosen;
  return chosen + u".png";
}

}  // namespace phone_pages
