#include "app/data/phone.h"

#include "app/adb/adbcmd_tool.h"
#include "app/agent/socket_thread.h"
#include "app/config/config_mgr.h"
#include "app/connect/connect_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/log.h"

void CLinkWatchThread::Run() {
  CCheckTcpThread& keep_alive = CSocketThreadMgr::Instance()->CheckTcpThread();
  while (!WaitForStop(kPollMs)) {
    switch (LookAtKeepAlive(keep_alive)) {
      case KeepAliveLook::kAlive:
        break;
      case KeepAliveLook::kFailed:
        PD_LOG_INFO("keep-alive failed: the agent link is lost");
        PostPhoneMessage(msg::kAgentLinkFailed, 0, 0);
        return;
      case KeepAliveLook::kStopped:  // stopped by its owner
        return;
    }
  }
}

CPhone::CPhone() {
  app_ = std::make_unique<CAppMgr>();
  contact_ = std::make_unique<CContactMgr>();
  picture_ = std::make_unique<CPictureMgr>();
  sms_ = std::make_unique<CSmsMgr>();
  environment_ = std::make_unique<CEnvironmentMgr>();
  music_ = std::make_unique<CMusicMgr>();
  video_ = std::make_unique<CVideoMgr>();
}

CPhone::~CPhone() {
  PD_LOG_INFO("phone release\r\n");
  link_watch_.Stop();
  shotcut_.reset();
  // No reply may reach a manager once it starts going away.
  CSocketThreadMgr* commands = CSocketThreadMgr::Instance();
  for (const CBaseResponse* target : std::initializer_list<const CBaseResponse*>{
           app_.get(), contact_.get(), picture_.get(), sms_.get(), music_.get(), video_.get(), environment_.get()}) {
    commands->StopFor(target);
  }
  // Members go in the reverse of their order: environment, video, music,
  // SMS, picture (its image queue stopped first), contact, then the app
  // manager with its workers.
}

std::shared_ptr<IPhone> CPhone::Create() { return std::make_shared<CPhone>(); }

void CPhone::Init(const std::u16string& serial) {
  PD_LOG_INFO("phone Init start!\r\n");
  serial_ = serial;
  CAdbCmdTool::Instance()->SetSerial(serial.c_str());
  CConfigMgr::Instance()->SetPhonePaths(serial);
  environment_->SetDeviceSerial(serial);
  shotcut_ = std::make_unique<CShotcutThread>(this);
  shotcut_->Start();
  // The agent keep-alive runs while a phone is connected; its failure is
  // told to the main window as a lost agent link.
  CSocketThreadMgr::Instance()->CheckTcpThread().StartUnlessRunning();
  link_watch_.Start();
  RequestCounts();
  PD_LOG_INFO("phone Init end!\r\n");
}

void CPhone::RequestCounts() {
  environment_->RequestEnvironment();
  app_->RequestAppCount();
  contact_->RequestContactCount();
  sms_->RequestSmsCount();
  picture_->RequestImageCount();
  music_->RequestMusicCount();
  video_->RequestVideoCount();
}

void CPhone::SyncSmsContact() {
  std::vector<ContactRecord> contacts;
  contact_->CopyContactList(contacts);
  if (!contacts.empty()) sms_->SyncSmsContact(contacts);
}

void CPhone::GetScreenShot(const char16_t* path) { environment_->GetScreenShot(path); }

bool CPhone::FtpPauseTransfer(uintptr_t transfer) { return CFtpCmdTool::Instance()->Pause(transfer); }

void CPhone::StartShotcutThread() {
  if (shotcut_ != nullptr && shotcut_->GetState() == base::WinThread::kIdle) shotcut_->Start();
}

void CPhone::SaveScreenShot(const std::u16string& path) {
  if (shotcut_ == nullptr || shotcut_->GetState() != base::WinThread::kIdle) return;
  shotcut_->SetPath(path);
  shotcut_->Start();
}

void InstallPhoneFactory() { SetPhoneFactory(&CPhone::Create); }

std::shared_ptr<CPhone> CurrentPhone() {
  return std::dynamic_pointer_cast<CPhone>(CConnectMgr::Instance()->GetPhone());
}
