#include "app/config/config_mgr.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "app/bindings/hostmark_interface.h"
#include "foundation/base/code_page.h"
#include "foundation/base/file_util.h"
#include "foundation/base/ini_engine.h"
#include "foundation/base/log.h"
#include "platform/module_path.h"
#include "platform/private_folder.h"
#include "platform/user_folders.h"

namespace {

constexpr char16_t kSection[] = u"setting";
constexpr char16_t kIgnoreSection[] = u"Data";
constexpr char16_t kIgnoreValue[] = u"package_name";
constexpr size_t kIgnoreBufferSize = 16385;

CConfigMgr* g_instance = nullptr;  // made in AppInit, released in AppTerm (main thread)

std::u16string Wide(const std::string& text) { return AnsiToWString(text); }

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A settings file that cannot be read is kept under a dated name, logged,
// and the settings start from their defaults. Left in place, its garbage
// would stay in front of every key written from then on.
void SetDamagedSettingsAside(const std::u16string& path) {
  const std::string file = WStringToAnsi(path);
  struct stat info;
  if (lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  std::string text;
  if (base::ini::ReadTextFile(file, &text) && !base::ini::IsDamagedText(text)) return;
  const std::u16string moved = MoveAsideDated(path);
  if (!moved.empty()) {
    PD_LOG_ERROR("%s cannot be read; kept as %s, the settings start from their defaults", file.c_str(),
                 WStringToAnsi(moved).c_str());
  } else {
    PD_LOG_ERROR("%s cannot be read and cannot be moved aside (errno %d)", file.c_str(), errno);
  }
}

}  // namespace

CConfigMgr* CConfigMgr::Instance(CConfigMgr* given) {
  if (g_instance == nullptr) g_instance = given != nullptr ? given : new CConfigMgr();
  return g_instance;
}

void CConfigMgr::Release() {
  delete g_instance;
  g_instance = nullptr;
}

CConfigMgr::CConfigMgr() = default;
CConfigMgr::~CConfigMgr() = default;

void CConfigMgr::Init() {
  const std::u16string program = Wide(platform::ProgramDirectory());
  const std::u16string data = Wide(platform::DataHomeDir()) + u"/Shelfhub";
  const std::u16string config = Wide(platform::ConfigHomeDir()) + u"/Shelfhub/";
  const std::u16string download_base = data + u"/download/";
  const std::u16string temp = Wide(platform::TempDir()) + u"/qentemp-" + Wide(std::to_string(getuid()));
  {
    std::lock_guard<std::mutex> hold(lock_);
    program_path_ = program;
    agent_apk_path_ = program + u"apk/com.zelvik.assist.apk";
    data_path_ = data;
    config_path_ = config;
    download_base_ = download_base;
    down_icon_path_ = download_base + u"icon/";
    down_list_path_ = download_base + u"downlist.dat";
    engine_work_path_ = download_base;
    temp_dir_ = temp;
  }
  MakeSureDirectory(download_base + u"icon/");
  MakeSureDirectory(config);
  SetDamagedSettingsAside(config + u"setting.ini");
  setting_ini_.SetFilePath(config + u"setting.ini");

  // Read without the 255-character limit of a profile read, so that a long
  // download folder is never cut short.
  const std::string download = base::ini::GetProfileString(
      WStringToAnsi(config + u"setting.ini"), "setting", "download_path", WStringToAnsi(GetDefaultDownloadPath()));
  const bool sms = ReadFlag(u"sms_tips");
  const bool contact = ReadFlag(u"contact_tips");
  const bool picture = ReadFlag(u"picture_tips");
  const bool music = ReadFlag(u"music_tips");
  const bool video = ReadFlag(u"video_tips");
  const bool install_tips = ReadFlag(u"auto_install_tips");
  const bool install_flag = ReadFlag(u"auto_install_flag");
  const bool delofftask = ReadFlag(u"delofftask_tips");
  const int32_t close_type = setting_ini_.ReadInt(kSection, u"close_type", 0);
  const int32_t location = setting_ini_.ReadInt(kSection, u"install_location", 0);
  {
    std::lock_guard<std::mutex> hold(lock_);
    download_path_ = Wide(download);
    sms_tips_ = sms;
    contact_tips_ = contact;
    picture_tips_ = picture;
    music_tips_ = music;
    video_tips_ = video;
    auto_install_tips_ = install_tips;
    auto_install_flag_ = install_flag;
    delofftask_tips_ = delofftask;
    close_type_ = close_type;
    install_location_ = location;
  }
  if (!MakeSureDirectory(Wide(download))) {
    SetDefaultDownloadPath();
    setting_ini_.WriteText(kSection, u"download_path", GetDownloadPath().c_str());
  }

  // A per-user temporary folder (the system's is shared by every user): a
  // folder of another user's, or a link, in its place is refused and the
  // program has no temporary folder.
  std::string temp_error;
  if (!platform::EnsurePrivateFolder(WStringToAnsi(temp), &temp_error)) {
    PD_LOG_ERROR("the temporary folder is refused: %s", temp_error.c_str());
    std::lock_guard<std::mutex> hold(lock_);
    temp_dir_.clear();
  }

  version_.LoadFromModule(nullptr, true);
  machine_id_.fill(0);
  CHostmarkInterface::Instance()->GetIdentify(machine_id_.data());
}

// --- paths -----------------------------------------------------------------

std::u16string CConfigMgr::GetDownloadPath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return download_path_;
}
std::u16string CConfigMgr::GetPhotoCachePath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return photo_cache_path_;
}
std::u16string CConfigMgr::GetThumbnailCachePath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return thumbnail_cache_path_;
}
std::u16string CConfigMgr::GetIconCachePath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return icon_cache_path_;
}
std::u16string CConfigMgr::GetAgentApkPath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return agent_apk_path_;
}
std::u16string CConfigMgr::GetDownListPath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return down_list_path_;
}
std::u16string CConfigMgr::GetTempDir() const {
  std::lock_guard<std::mutex> hold(lock_);
  return temp_dir_;
}
std::u16string CConfigMgr::GetDownIconPath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return down_icon_path_;
}
std::u16string CConfigMgr::GetEngineWorkPath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return engine_work_path_;
}
std::u16string CConfigMgr::GetDataPath() const {
  std::lock_guard<std::mutex> hold(lock_);
  return data_path_;
}
std::u16string CConfigMgr::GetAppFilePath(const std::u16string& name) const {
  std::lock_guard<std::mutex> hold(lock_);
  return (program_path_.empty() ? Wide(platform::ProgramDirectory()) : program_path_) + name;
}

// --- download folder -------------------------------------------------------

std::u16string CConfigMgr::GetDefaultDownloadPath() const {
  return Wide(platform::DownloadDir()) + u"/Zelvik/Apps";
}

bool CConfigMgr::SetDownloadPath(const std::u16string& path) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    download_path_ = path;
  }
  if (!setting_ini_.WriteText(kSection, u"download_path", path.c_str())) {
    PD_LOG_ERROR("SetDownloadPath Error");
  }
  return MakeSureDirectory(path);
}

bool CConfigMgr::SetDefaultDownloadPath() {
  const std::u16string path = GetDefaultDownloadPath();
  {
    std::lock_guard<std::mutex> hold(lock_);
    download_path_ = path;
  }
  return MakeSureDirectory(path);
}

// --- settings --------------------------------------------------------------

bool CConfigMgr::ReadFlag(const char16_t* key) const { return setting_ini_.ReadInt(kSection, key, 1) == 1; }

void CConfigMgr::WriteFlag(const char16_t* key, bool on) { setting_ini_.WriteInt(kSection, key, on ? 1 : 0); }

bool CConfigMgr::GetFlag(bool CConfigMgr::*member) const {
  std::lock_guard<std::mutex> hold(lock_);
  return this->*member;
}

void CConfigMgr::SetFlag(bool CConfigMgr::*member, const char16_t* key, bool on) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (this->*member == on) return;
    this->*member = on;
  }
  WriteFlag(key, on);
}

bool CConfigMgr::GetSmsTips() const { return GetFlag(&CConfigMgr::sms_tips_); }
bool CConfigMgr::GetContactTips() const { return GetFlag(&CConfigMgr::contact_tips_); }
bool CConfigMgr::GetPictureTips() const { return GetFlag(&CConfigMgr::picture_tips_); }
bool CConfigMgr::GetMusicTips() const { return GetFlag(&CConfigMgr::music_tips_); }
bool CConfigMgr::GetVideoTips() const { return GetFlag(&CConfigMgr::video_tips_); }
bool CConfigMgr::GetAutoInstallTips() const { return GetFlag(&CConfigMgr::auto_install_tips_); }
bool CConfigMgr::GetAutoInstallFlag() const { return GetFlag(&CConfigMgr::auto_install_flag_); }
bool CConfigMgr::GetDelOffTaskTips() const { return GetFlag(&CConfigMgr::delofftask_tips_); }

int32_t CConfigMgr::GetCloseType() const {
  std::lock_guard<std::mutex> hold(lock_);
  return close_type_;
}

int32_t CConfigMgr::GetInstallLocation() const {
  std::lock_guard<std::mutex> hold(lock_);
  return install_location_;
}

void CConfigMgr::SetSmsTips(bool on) { SetFlag(&CConfigMgr::sms_tips_, u"sms_tips", on); }
void CConfigMgr::SetContactTips(bool on) { SetFlag(&CConfigMgr::contact_tips_, u"contact_tips", on); }
void CConfigMgr::SetPictureTips(bool on) { SetFlag(&CConfigMgr::picture_tips_, u"picture_tips", on); }
void CConfigMgr::SetMusicTips(bool on) { SetFlag(&CConfigMgr::music_tips_, u"music_tips", on); }
void CConfigMgr::SetVideoTips(bool on) { SetFlag(&CConfigMgr::video_tips_, u"video_tips", on); }
void CConfigMgr::SetAutoInstallTips(bool on) {
  SetFlag(&CConfigMgr::auto_install_tips_, u"auto_install_tips", on);
}
void CConfigMgr::SetDelOffTaskTips(bool on) { SetFlag(&CConfigMgr::delofftask_tips_, u"delofftask_tips", on); }

void CConfigMgr::SetAutoInstallFlag(bool on) {
  const bool previous = GetAutoInstallFlag();
  if (previous == on) return;
  SetAutoInstallTips(previous);
  SetFlag(&CConfigMgr::auto_install_flag_, u"auto_install_flag", on);
}

void CConfigMgr::SetCloseType(int32_t type) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (close_type_ == type) return;
    close_type_ = type;
  }
  setting_ini_.WriteInt(kSection, u"close_type", type);
}

void CConfigMgr::SetInstallLocation(int32_t location) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (install_location_ == location) return;
    install_location_ = location;
  }
  setting_ini_.WriteInt(kSection, u"install_location", location);
}

void CConfigMgr::ResetSettings() {
  SetSmsTips(true);
  SetPictureTips(true);
  SetContactTips(true);
  SetMusicTips(true);
  SetVideoTips(true);
  SetAutoInstallTips(true);
  SetAutoInstallFlag(true);
  SetCloseType(0);
}

// --- the current phone -----------------------------------------------------

std::u16string CConfigMgr::PhoneFolderName(const std::u16string& phone_name) {
  std::u16string name = phone_name;
  for (char16_t& c : name) {
    if (c == u'/' || c == u'\\' || c == u'\0') c = u'_';
  }
  if (!name.empty() && name[0] == u'.') name[0] = u'_';
  return name;
}

void CConfigMgr::SetPhonePaths(const std::u16string& phone_name) {
  const std::u16string name = PhoneFolderName(phone_name);
  std::u16string folder, config;
  {
    std::lock_guard<std::mutex> hold(lock_);
    folder = data_path_;
    config = config_path_;
  }
  if (!name.empty()) {
    folder += u"/" + name;
    config += name + u"/";
  }
  const std::u16string icon = folder + u"/cache/icon/";
  const std::u16string photos = folder + u"/cache/photos/";
  const std::u16string thumbnails = folder + u"/cache/thumbnails/";
  {
    std::lock_guard<std::mutex> hold(lock_);
    icon_cache_path_ = icon;
    photo_cache_path_ = photos;
    thumbnail_cache_path_ = thumbnails;
  }
  MakeSureDirectory(config);
  ignore_ini_.SetFilePath(config + u"app_ignore.ini");
  MakeSureDirectory(icon);
  MakeSureDirectory(photos);
  MakeSureDirectory(thumbnails);
  LoadIgnoreList();
}

void CConfigMgr::LoadIgnoreList() {
  std::vector<char16_t> buffer(kIgnoreBufferSize, u'\0');
  ignore_ini_.ReadSection(kIgnoreSection, buffer.data(), buffer.size());
  std::list<std::u16string> packages;
  size_t pos = 0;
  while (pos < buffer.size()) {
    std::u16string entry(buffer.data() + pos);
    if (entry.empty()) break;
    pos += entry.size() + 1;
    const size_t equals = entry.find(u'=');
    if (equals != std::u16string::npos && equals != 0) entry.erase(equals);
    packages.push_back(entry);
  }
  std::lock_guard<std::mutex> hold(lock_);
  ignore_list_.swap(packages);
}

std::list<std::u16string> CConfigMgr::GetIgnoredPackages() const {
  std::lock_guard<std::mutex> hold(lock_);
  return ignore_list_;
}

bool CConfigMgr::AddIgnoreApp(const std::u16string& package) {
  if (!ignore_ini_.WriteText(kIgnoreSection, package.c_str(), kIgnoreValue)) return false;
  std::lock_guard<std::mutex> hold(lock_);
  ignore_list_.push_back(package);
  return true;
}

bool CConfigMgr::RemoveIgnoreApp(const std::u16string& package) {
  if (!ignore_ini_.WriteText(kIgnoreSection, package.c_str(), nullptr)) return false;
  std::lock_guard<std::mutex> hold(lock_);
  ignore_list_.remove(package);
  return true;
}

// --- folders ---------------------------------------------------------------

bool CConfigMgr::MakeSureDirectory(const std::u16string& path) {
  std::string folder = WStringToAnsi(path);
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty()) return false;
  if (IsFolder(folder)) return true;
  for (size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
    const std::string prefix = slash == std::string::npos ? folder : folder.substr(0, slash);
    if (!prefix.empty() && !IsFolder(prefix)) mkdir(prefix.c_str(), 0755);
    if (slash == std::string::npos) break;
  }
  return IsFolder(folder);
}
