// CPhone: the one object through which the windows and pages reach the
// connected phone. The connection manager makes it on the connected state
// (through the phone factory, InstallPhoneFactory), runs Init with the
// phone's serial and drops it when the phone goes away. It owns one data
// manager per kind of content and the screenshot thread, starts the agent
// keep-alive, and forwards the pages' calls to the managers.
//
// Ownership: the connection manager and the pages share the phone
// (std::shared_ptr, CurrentPhone); a page keeps its reference only for the
// call at hand. Whoever drops the last reference deletes the phone; the
// destructor first stops everything that could still call into it: the
// watch and screenshot threads, the agent commands whose replies go to its
// managers, then the managers with their workers.
//
// A phone that goes away is noticed three ways: devwarden's removal event
// (the connection manager posts state 19 and drops the phone), a command
// that finally fails (1226), and the keep-alive: when its check fails the
// phone's link watch posts 1226 once, and the main window's reconnect then
// shows where the phone is (states 5, 15 or 16).
//
// Threading: no lock of its own; the managers guard their records. The
// serial is written once by Init before anything reads it. The flag is an
// atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/connect/phone_seams.h"
#include "app/connect/shotcut_thread.h"
#include "app/data/app_mgr.h"
#include "app/data/contact_mgr.h"
#include "app/data/environment_mgr.h"
#include "app/data/music_mgr.h"
#include "app/data/picture_mgr.h"
#include "app/data/sms_mgr.h"
#include "app/data/video_mgr.h"
#include "foundation/base/win_thread.h"

// What the link watch sees of the keep-alive at one look.
enum class KeepAliveLook { kAlive, kFailed, kStopped };

// Reads the keep-alive's failed flag, then its thread's state. A thread seen
// idle has its flag read once more: a check that failed just before the
// thread ended still counts as a failure, not as a stop by its owner.
template <typename KeepAlive>
KeepAliveLook LookAtKeepAlive(const KeepAlive& keep_alive) {
  if (keep_alive.GetFailed() != 0) return KeepAliveLook::kFailed;
  if (keep_alive.GetState() != base::WinThread::kIdle) return KeepAliveLook::kAlive;
  return keep_alive.GetFailed() != 0 ? KeepAliveLook::kFailed : KeepAliveLook::kStopped;
}

// Watches the agent keep-alive: posts 1226 once when a check failed.
class CLinkWatchThread : public base::WinThread {
 public:
  static constexpr uint32_t kPollMs = 500;

  CLinkWatchThread() : base::WinThread(u"link_watch_thread") {}
  ~CLinkWatchThread() override { Stop(); }

 protected:
  void Run() override;
};

class CPhone : public IPhone {
 public:
  CPhone();
  ~CPhone() override;

  // The factory the connection manager uses (SetPhoneFactory).
  static std::shared_ptr<IPhone> Create();

  // IPhone
  void Init(const std::u16string& serial) override;
  bool IsConnected() override { return true; }
  void GetScreenShot(const char16_t* path) override;

  // Sends the count requests: "environment", then "package_count",
  // "contact_count", "sms_count", "image_count", "music_count", "video_count".
  void RequestCounts();
  const std::u16string& GetSerial() const { return serial_; }

  // Apps.
  void LoadAppList() { app_->LoadAppList(); }
  void RefreshAppList() { app_->RefreshAppList(); }
  std::optional<AppRecord> FindAppByKey(uint32_t key) { return app_->FindAppByKey(key); }
  std::optional<AppRecord> FindAppByPackage(const std::u16string& package) { return app_->FindAppByPackage(package); }
  bool InstallApp(const std::u16string& apk_path, int32_t previous_result, uint32_t key) {
    return app_->InstallApp(apk_path, previous_result, key);
  }
  bool CancelAppTask(const std::u16string& apk_path) { return app_->CancelTask(apk_path); }
  bool UninstallApp(uint32_t key) { return app_->UninstallApp(key); }
  bool UpgradeApp(uint32_t key) { return app_->UpgradeApp(key); }
  bool IgnoreAppUpdate(uint32_t key) { return app_->IgnoreUpdate(key); }
  bool UnignoreAppUpdate(uint32_t key) { return app_->UnignoreUpdate(key); }
  void PruneIgnoreList() { app_->PruneIgnoreList(); }
  int32_t GetAppTaskState(uint32_t key) { return app_->GetAppTaskState(key); }
  void SetInstallListener(InstallListener* listener) { app_->SetInstallListener(listener); }
  std::vector<AppRecord> GetAppList() { return app_->GetAppList(); }
  int32_t GetAppCount() { return app_->GetAppCount(); }
  int32_t GetUpdatableCount() { return app_->GetUpdatableCount(); }

  // Contacts (the pages get copies).
  void LoadContactList() { contact_->LoadContactList(); }
  void RefreshContactList() { contact_->RefreshContactList(); }
  void RequestContactInfo(int32_t id) { contact_->RequestContactInfo(id); }
  // Handled before it returns; true whatever the phone answered.
  bool DeleteContact(int32_t id) {
    contact_->DeleteContact(id);
    return true;
  }
  bool AddContact(const ContactRecord* record) { return contact_->AddContact(record); }
  bool EditContact(const ContactRecord* edited) { return contact_->EditContact(edited); }
  bool IsContactEditEmpty(const ContactRecord* edited) { return contact_->IsEditEmpty(edited); }
  std::optional<ContactRecord> FindContactById(int32_t id) { return contact_->FindContactById(id); }
  int32_t GetContactIndex(int32_t id) { return contact_->GetContactIndex(id); }
  void GetContactList(std::vector<ContactRecord>& out) { contact_->CopyContactList(out); }
  // The first `limit` contacts `match` accepts, as copies (the contact search).
  std::vector<ContactRecord> FindContacts(const std::function<bool(const ContactRecord&)>& match, size_t limit) {
    return contact_->FindContacts(match, limit);
  }
  int32_t GetContactCount() { return contact_->GetCount(); }

  // SMS (the pages get copies).
  void LoadSmsList() { sms_->LoadSmsList(); }
  void RefreshSmsList() { sms_->RefreshSmsList(); }
  void DeleteSmsThread(int32_t thread_id) { sms_->DeleteThread(thread_id); }
  void MarkSmsRead(int32_t thread_id, int32_t message_id) { sms_->MarkRead(thread_id, message_id); }
  void DeleteSms(int32_t thread_id, int32_t message_id) { sms_->DeleteSms(thread_id, message_id); }
  // The conversations take the contacts' names (copies of the contacts;
  // nothing while the contact list is empty).
  void SyncSmsContact();
  std::optional<SmsThreadRecord> FindSmsThread(int32_t thread_id) { return sms_->FindRecordById(thread_id); }
  std::vector<SmsThreadRecord> GetSmsList() { return sms_->GetThreadList(); }
  std::vector<int32_t> GetSmsThreadIds() { return sms_->GetThreadIds(); }
  int32_t GetSmsCount() { return sms_->GetCount(); }

  // Pictures (the pages get copies; album keys are whole 64-bit times).
  bool ImportImage(const std::u16string& local_path) { return picture_->AdbCopyFile(local_path); }
  void DeleteImage(int32_t id) { picture_->DeleteImage(id); }
  bool ExportImage(const std::u16string& local_folder, int32_t id) { return picture_->ExportImage(local_folder, id); }
  void LoadImageList() { picture_->LoadImageList(); }
  void RefreshImageList() { picture_->RefreshImageList(); }
  void RequestImageInfo(std::vector<int32_t>& ids) { picture_->RequestImageInfo(ids); }
  std::vector<PictureAlbum> GetImageList() { return picture_->GetAlbumList(); }
  std::optional<PictureAlbum> FindAlbum(int64_t key) { return picture_->FindAlbum(key); }
  std::vector<ImageRecord> GetAlbumImages(int64_t key) { return picture_->GetAlbumImages(key); }
  int32_t GetAlbumImageCount(int64_t key) { return picture_->GetAlbumImageCount(key); }
  std::optional<ImageRecord> FindImageById(int32_t id) { return picture_->FindImageById(id); }
  bool ImageNeedsDetails(int32_t id) { return picture_->NeedsDetails(id); }
  void LoadThumbnail(int32_t id) { picture_->LoadThumbnail(id); }
  void LoadImage(int32_t id) { picture_->LoadImage(id); }
  int32_t GetPictureCount() { return picture_->GetCount(); }

  // Music (the pages get copies). Uploads and exports run on a page's
  // worker; `context` (may be null) gets the FTP progress.
  void LoadMusicList() { music_->LoadMusicList(); }
  void RefreshMusicList() { music_->RefreshMusicList(); }
  void DeleteMusic(int32_t id) { music_->DeleteMusic(id); }
  bool ExportMusic(const std::u16string& local_folder, int32_t id) { return music_->ExportMusic(local_folder, id); }
  bool UploadMusic(const std::u16string& local_path, FtpTransferContext* context) {
    return music_->UploadMusic(local_path, context);
  }
  std::optional<MusicRecord> FindMusicById(int32_t id) { return music_->FindRecordById(id); }
  std::vector<MusicRecord> GetMusicList() { return music_->GetMusicList(); }
  int32_t GetMusicCount() { return music_->GetCount(); }

  // Videos (the pages get copies).
  void LoadVideoList() { video_->LoadVideoList(); }
  void RefreshVideoList() { video_->RefreshVideoList(); }
  void DeleteVideo(int32_t id) { video_->DeleteVideo(id); }
  bool ExportVideo(const std::u16string& local_folder, int32_t id, FtpTransferContext* context) {
    return video_->ExportVideo(local_folder, id, context);
  }
  bool UploadVideo(const std::u16string& local_path, FtpTransferContext* context) {
    return video_->UploadVideo(local_path, context);
  }
  std::optional<VideoRecord> FindVideoById(int32_t id) { return video_->FindRecordById(id); }
  std::vector<VideoRecord> GetVideoList() { return video_->GetVideoList(); }
  int32_t GetVideoCount() { return video_->GetCount(); }

  // Environment: "environment", and the storage sizes ("storagesize_info").
  void RequestEnvironment() { environment_->RequestEnvironment(); }
  void RequestStorage() { environment_->RequestStorage(); }
  void RequestStorageInfo() { RequestStorage(); }
  PhoneEnvironment GetEnvironment() { return environment_->GetEnvironment(); }

  // Pauses (cancels) one FTP transfer of a batch job.
  bool FtpPauseTransfer(uintptr_t transfer);

  // Screenshots: start the thread unless it runs; SaveScreenShot gives it
  // the target file first (nothing while it runs).
  void StartShotcutThread();
  void SaveScreenShot(const std::u16string& path);

  // The home page's flag (0 at construction; 1 once it showed the phone's name).
  void SetInfoShown(int32_t value) { info_shown_.store(value); }
  void SetEnvironmentFlag(int32_t value) { SetInfoShown(value); }
  int32_t GetInfoShown() const { return info_shown_.load(); }

  // The app manager itself, for the download task manager and tests.
  CAppMgr* AppMgr() { return app_.get(); }

 private:
  std::unique_ptr<CAppMgr> app_;
  std::unique_ptr<CContactMgr> contact_;
  std::unique_ptr<CPictureMgr> picture_;
  std::unique_ptr<CSmsMgr> sms_;
  std::unique_ptr<CMusicMgr> music_;
  std::unique_ptr<CVideoMgr> video_;
  std::unique_ptr<CEnvironmentMgr> environment_;
  std::unique_ptr<CShotcutThread> shotcut_;
  std::atomic<int32_t> info_shown_{0};
  std::u16string serial_;
  CLinkWatchThread link_watch_;
};

// Makes CPhone the phone the connection manager creates (before it starts).
void InstallPhoneFactory();
// The connected phone, or null; keep it only for the call at hand.
std::shared_ptr<CPhone> CurrentPhone();
