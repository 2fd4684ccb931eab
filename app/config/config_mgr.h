// CConfigMgr: the program's configuration. Every folder and file path the
// program uses, the user's settings (setting.ini, section "setting"), the
// current phone's ignore list (app_ignore.ini), the program's version record,
// the machine identifier, and the main window's handle that workers post to.
//
// Where things are (README.md, "Configuration"):
//   program folder      platform::ProgramDirectory()  (PHONEDECK_PROGRAM_DIR)
//   data folder         $XDG_DATA_HOME/Shelfhub       (per-phone caches, downloads)
//   config folder       $XDG_CONFIG_HOME/Shelfhub     (setting.ini, app_ignore.ini)
//   temporary folder    $TMPDIR/qentemp-<uid>  (0700, the user's own; empty
//                       when another user's folder or a link stands there)
//   download folder     setting "download_path", default $XDG_DOWNLOAD_DIR/Zelvik/Apps
//
// Threading: Init, the setters and SetPhonePaths run on the main thread;
// every getter may be called from any thread. `lock_` guards the paths and
// the settings, and the getters return copies, so a worker never reads a
// path while the main thread replaces it. The version record and the
// machine identifier are written once in Init, before any worker starts.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>

#include "foundation/base/ini_file.h"
#include "foundation/base/version_info.h"

class CConfigMgr {
 public:
  // The instance: `given` becomes it when none exists yet; otherwise the
  // first call makes it. Release deletes it (AppTerm).
  static CConfigMgr* Instance(CConfigMgr* given = nullptr);
  static void Release();

  CConfigMgr();
  ~CConfigMgr();
  CConfigMgr(const CConfigMgr&) = delete;
  CConfigMgr& operator=(const CConfigMgr&) = delete;

  // Fills every path and setting, reads the version record and the machine identifier.
  void Init();

  // The main window that workers post to (0 until the window stores it).
  uintptr_t GetMainWnd() const { return main_wnd_.load(); }
  void SetMainWnd(uintptr_t wnd) { main_wnd_.store(wnd); }

  // Paths (copies). Folders end with '/', except the temporary folder.
  std::u16string GetDownloadPath() const;
  std::u16string GetPhotoCachePath() const;
  std::u16string GetThumbnailCachePath() const;
  std::u16string GetIconCachePath() const;
  std::u16string GetAgentApkPath() const;
  std::u16string GetDownListPath() const;
  std::u16string GetTempDir() const;
  std::u16string GetDownIconPath() const;
  std::u16string GetEngineWorkPath() const;
  std::u16string GetDataPath() const;  // the data folder, no trailing '/'
  // Program folder + name.
  std::u16string GetAppFilePath(const std::u16string& name) const;

  const CBase_FileVersionInfo& GetVersionInfo() const { return version_; }
  std::array<uint8_t, 16> GetMachineIdentify() const { return machine_id_; }

  // The download folder.
  std::u16string GetDefaultDownloadPath() const;
  // Stores and writes "download_path" (logs "SetDownloadPath Error" when the
  // write fails); returns whether the folder exists afterwards.
  bool SetDownloadPath(const std::u16string& path);
  // Falls back to the default download folder; whether it exists afterwards.
  bool SetDefaultDownloadPath();

  // Settings: a boolean reads true only when the stored number is exactly 1.
  bool GetSmsTips() const;
  bool GetContactTips() const;
  bool GetPictureTips() const;
  bool GetMusicTips() const;
  bool GetVideoTips() const;
  bool GetAutoInstallTips() const;
  bool GetAutoInstallFlag() const;
  bool GetDelOffTaskTips() const;
  int32_t GetCloseType() const;
  int32_t GetInstallLocation() const;
  // Each setter does nothing for the stored value; otherwise it stores the
  // value and writes its key.
  void SetSmsTips(bool on);
  void SetContactTips(bool on);
  void SetPictureTips(bool on);
  void SetMusicTips(bool on);
  void SetVideoTips(bool on);
  void SetAutoInstallTips(bool on);
  // First sets auto_install_tips to the flag's previous value.
  void SetAutoInstallFlag(bool on);
  void SetDelOffTaskTips(bool on);
  void SetCloseType(int32_t type);
  void SetInstallLocation(int32_t location);
  // The question flags and the flag back to true, close_type to 0.
  void ResetSettings();

  // The current phone's folders and ignore list. The name (the phone's
  // serial) is made safe as a folder name first (PhoneFolderName).
  void SetPhonePaths(const std::u16string& phone_name);
  std::list<std::u16string> GetIgnoredPackages() const;
  bool AddIgnoreApp(const std::u16string& package);
  bool RemoveIgnoreApp(const std::u16string& package);

  // Creates the folder and its missing parents; whether it exists afterwards.
  static bool MakeSureDirectory(const std::u16string& path);

  // A phone name as one folder name: '/', '\' and NUL become '_', and so
  // does a leading '.', so the name never leaves the data folder.
  static std::u16string PhoneFolderName(const std::u16string& phone_name);

 private:
  bool ReadFlag(const char16_t* key) const;
  void WriteFlag(const char16_t* key, bool on);
  void SetFlag(bool CConfigMgr::*member, const char16_t* key, bool on);
  bool GetFlag(bool CConfigMgr::*member) const;
  void LoadIgnoreList();

  std::atomic<uintptr_t> main_wnd_{0};

  mutable std::mutex lock_;  // guards every member below up to machine_id_
  std::u16string program_path_;
  std::u16string download_path_;
  std::u16string photo_cache_path_;
  std::u16string thumbnail_cache_path_;
  std::u16string icon_cache_path_;
  std::u16string agent_apk_path_;
  std::u16string data_path_;
  std::u16string config_path_;
  std::u16string down_list_path_;
  std::u16string temp_dir_;
  std::u16string download_base_;
  std::u16string down_icon_path_;
  std::u16string engine_work_path_;
  bool sms_tips_ = true;
  bool contact_tips_ = true;
  bool picture_tips_ = true;
  bool music_tips_ = true;
  bool video_tips_ = true;
  bool auto_install_tips_ = true;
  bool auto_install_flag_ = true;
  bool delofftask_tips_ = true;
  int32_t close_type_ = 0;
  int32_t install_location_ = 0;
  std::list<std::u16string> ignore_list_;

  CIniFile ignore_ini_;   // thread-safe itself
  CIniFile setting_ini_;  // thread-safe itself
  CBase_FileVersionInfo version_;
  std::array<uint8_t, 16> machine_id_{};
};

// The installation's union ID: the registry value "UnionID" under
// "Software\ZelvikSoft\Zelvik" (machine key first, then the user's), low 16
// bits; 1110 when absent, of another type, or 0. Cached once non-zero.
// Any thread.
uint16_t GetUnionID();
// The same read without the cache.
uint16_t ReadUnionIDFromRegistry();
