// What the phone's home and apps pages show, as pure functions over the
// records: row texts, the row status, the uninstall question, the install
// failure view, the badge, the storage bars and free-space texts, the
// screenshot file names, and the one text form of an app key.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "app/data/app_record.h"

namespace phone_pages {

// ---------------- app keys ----------------

// An app key (CRC-32 of the package name) as the rows carry it: unsigned
// decimal, the form of the task lists' ids (TaskIdText), so every key has
// one text and reads back as itself.
std::u16string AppKeyText(uint32_t key);
// The key of a row's text; nothing for a text that is not an unsigned
// decimal number below 2^32 (an empty text included).
std::optional<uint32_t> ParseAppKey(const std::u16string& text);

// ---------------- apps page ----------------

// Row status numbers: operation page 0, or page 1 with its label.
enum AppRowStatus { kRowNormal = 0, kRowUpdating = 10, kRowUninstalling = 13 };

// The task manager's state of the app's download-and-install task (-1 when
// none) and the phone's queued app task kind (0 install, 2 removal, 5 none;
// nothing without a phone) give the row status.
int DeriveAppStatus(int online_task_state, std::optional<int32_t> queued_kind);
// "升级中..." for kRowUpdating, "卸载中..." for kRowUninstalling, else empty.
std::u16string StatusLabel(int status);

struct VersionTexts {
  bool update_visible = false;
  std::u16string update_version;  // empty without an update
  std::u16string local_version;
};
// The version texts of a row: with an update whose version name equals the
// installed one (case-blind), both names with their codes in parentheses.
VersionTexts RowVersionTexts(const AppRecord& record);

// The question before removing the checked apps: `names` are the names of
// the first (up to three) checked rows, `checked` the number of checked
// rows. Empty when there is nothing to ask about.
std::u16string UninstallQuestion(const std::vector<std::u16string>& names, int checked);

// The install failure view of a row for an install result code; nothing
// for 1 (installed).
struct FailureView {
  std::u16string reason;  // empty: the label keeps its text
  int reason_height = 20;
  bool retry_visible = false;  // "卸载后安装" (code -2), else "我知道了"
};
std::optional<FailureView> InstallFailureView(int code);

// The badge of updatable apps: hidden below 1; its width is the text's
// width plus 12, at least 20.
struct Badge {
  bool visible = false;
  std::u16string text;
  int width = 0;
};
Badge UpdateBadge(int count, int text_width);

// ---------------- home page ----------------

// The used share of a storage, 0 to 100 (truncated); 0 when the total is
// not positive or the sizes make no sense.
int UsedPercent(double total, double available);
// "(%.2lfG可用)" above 1024 MB free, else "(%.2lfMB可用)"; `available` in bytes.
std::u16string FreeSpaceText(double available);

// The proposed name of a saved screenshot: "助手截图" + local time
// "%Y%m%d%H%M%S" + ".png".
std::u16string ProposedShotName(const std::tm& local_time);
// The file a chosen path is saved as: ".png" is appended unless the path
// already ends in ".png" in any letter case ("shot.PNG" stays as it is, not
// "shot.PNG.png"). Empty for an empty path.
std::u16string ShotFileName(const std::u16string& chosen);

}  // namespace phone_pages
