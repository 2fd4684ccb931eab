#include "ui/pages/phone_info_dlg.h"

#include <ctime>
#include <memory>
#include <vector>

#include "app/core/message_ids.h"
#include "foundation/base/log.h"
#include "ui/pages/phone_page_texts.h"

using namespace DuiLib;

namespace {

// The home tile's label and the other page's label of each count, in
// PhoneCountCategory order.
constexpr const char16_t* kHomeCountLabels[6] = {u"app_num", u"contact_num", u"sms_num",
                                                 u"pic_num", u"music_num",   u"video_num"};
constexpr const char16_t* kPageCountLabels[6] = {u"app_appnum", u"contact_contactnum", u"sms_smsnum",
                                                 u"pic_picnum", u"music_musicnum",     u"video_videonum"};

bool Is(const CDuiString& a, const char16_t* b) { return a.CompareNoCase(b) == 0; }

CControlUI* FindNamed(CPaintManagerUI* pm, const char16_t* name) {
  CControlUI* c = pm ? pm->FindControl(name) : nullptr;
  if (!c) PD_LOG_WARNING("home page: control %s missing", CDuiString(name).ToUtf8().c_str());
  return c;
}

void SetText(CControlUI* c, const std::u16string& text) {
  if (c) c->SetText(text.c_str());
}

}  // namespace

void CPhoneInfoDlg::Init() {
  CPageController::Init();
  phone_name_ = FindNamed(pm_, u"phone_name");
  for (int i = 0; i < 6; ++i) {
    home_counts_[i] = FindNamed(pm_, kHomeCountLabels[i]);
    page_counts_[i] = FindNamed(pm_, kPageCountLabels[i]);
  }
  auto progress = [this](const char16_t* name) {
    CControlUI* c = FindNamed(pm_, name);
    return c ? static_cast<CProgressUI*>(c->GetInterface(u"Progress")) : nullptr;
  };
  innersize_progress_ = progress(u"innersize_progress");
  sdcard_progress_ = progress(u"sdcard_progress");
  inner_size_ = FindNamed(pm_, u"inner_size");
  sdcard_size_ = FindNamed(pm_, u"sdcard_size");
  CControlUI* shot = FindNamed(pm_, u"phone_shotcut");
  phone_shotcut_ = shot ? static_cast<CPngImageUI*>(shot->GetInterface(u"PngImage")) : nullptr;
}

void CPhoneInfoDlg::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"refresh_shotcut_btn")) {
    if (PhonePagesSide()->IsConnected()) PhonePagesSide()->StartShotcutThread();
  } else if (Is(name, u"shotcutsave_btn")) {
    if (PhonePagesSide()->IsConnected()) SaveScreenshot();
  }
}

LRESULT CPhoneInfoDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  CPageController::HandleMessage(uMsg, wParam, lParam, bHandled);
  if (!bHandled) return 0;
  switch (uMsg) {
    case msg::kEnvironmentParsed:
      OnEnvironment();
      break;
    case msg::kEnvironmentTextReady:
      OnModelName();
      break;
    case msg::kStorageSizeParsed:
      ShowStorage();
      break;
    case msg::kContactCount:
      ShowCount(kCountContacts);
      break;
    case msg::kSmsCount:
      ShowCount(kCountSms);
      break;
    case msg::kPictureCount:
      ShowCount(kCountPictures);
      break;
    case msg::kVideoCount:
      ShowCount(kCountVideos);
      break;
    case msg::kMusicCount:
      ShowCount(kCountMusic);
      break;
    case msg::kAppCount:
      ShowCount(kCountApps);
      break;
    case msg::kScreenshotInMemory: {
      // Ours whatever happens next.
      std::unique_ptr<ScreenBitmap> bitmap(reinterpret_cast<ScreenBitmap*>(wParam));
      if (bitmap) ShowScreenshot(std::move(*bitmap));
      break;
    }
    case msg::kPhoneContentChanged:
      PhonePagesSide()->RequestStorageInfo();
      break;
    default:
      break;
  }
  return 0;
}

void CPhoneInfoDlg::OnEnvironment() {
  IPhonePagesSide* side = PhonePagesSide();
  side->SetEnvironmentFlag(1);
  PhoneDeviceInfo device;
  if (!side->GetCurrentDevice(&device)) return;
  SetText(phone_name_, device.manufacturer + u"/" + device.product);
  PD_LOG_INFO("home page: phone %s", phone_name_ ? phone_name_->GetText().ToUtf8().c_str() : "");
  ShowStorage();
}

void CPhoneInfoDlg::OnModelName() {
  std::optional<PhoneEnvironment> environment = PhonePagesSide()->GetEnvironment();
  if (!environment) return;
  SetText(phone_name_, environment->display_name);
  PD_LOG_INFO("home page: model %s", CDuiString(environment->display_name.c_str()).ToUtf8().c_str());
}

void CPhoneInfoDlg::ShowCount(PhoneCountCategory category) {
  IPhonePagesSide* side = PhonePagesSide();
  if (!side->IsConnected() || !side->GetEnvironment()) return;
  CControlUI* home = home_counts_[category];
  CControlUI* page = page_counts_[category];
  if (!home || !page) return;
  const std::u16string count = phone_pages::AppKeyText(static_cast<uint32_t>(std::max(0, side->GetCount(category))));
  home->SetText(count.c_str());
  page->SetText(count.c_str());
  PD_LOG_INFO("home page: count %d is %s", static_cast<int>(category), CDuiString(count.c_str()).ToUtf8().c_str());
}

void CPhoneInfoDlg::ShowStorage() {
  IPhonePagesSide* side = PhonePagesSide();
  if (!side->IsConnected()) return;
  std::optional<PhoneEnvironment> env = side->GetEnvironment();
  if (!env) return;
  if (!sdcard_progress_) return;
  sdcard_progress_->SetValue(phone_pages::UsedPercent(env->sd_total, env->sd_available));
  if (!innersize_progress_) return;
  innersize_progress_->SetValue(phone_pages::UsedPercent(env->internal_total, env->internal_available));
  SetText(inner_size_, phone_pages::FreeSpaceText(env->internal_available));
  SetText(sdcard_size_, phone_pages::FreeSpaceText(env->sd_available));
  PD_LOG_INFO("home page: storage %d%% used, sd card %d%% used", innersize_progress_->GetValue(),
              sdcard_progress_->GetValue());
}

void CPhoneInfoDlg::ShowScreenshot(ScreenBitmap&& bitmap) {
  if (!phone_shotcut_) return;
  const size_t pixels = static_cast<size_t>(bitmap.width > 0 ? bitmap.width : 0) *
                        static_cast<size_t>(bitmap.height > 0 ? bitmap.height : 0);
  if (!IsPictureSizeAllowed(bitmap.width > 0 ? bitmap.width : 0, bitmap.height > 0 ? bitmap.height : 0) ||
      bitmap.pixels.size() != pixels) {
    PD_LOG_WARNING("home page: a screenshot of %dx%d with %zu pixels is not shown", bitmap.width, bitmap.height,
                   bitmap.pixels.size());
    return;
  }
  auto image = std::make_shared<TImageInfo>();
  image->nX = bitmap.width;
  image->nY = bitmap.height;
  image->pixels = std::move(bitmap.pixels);
  for (uint32_t px : image->pixels)
    if ((px >> 24) != 0xFF) {
      image->bAlpha = true;
      break;
    }
  PD_LOG_INFO("home page: screenshot %dx%d", image->nX, image->nY);
  phone_shotcut_->SetImage(std::move(image));
}

void CPhoneInfoDlg::SaveScreenshot() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  TFileChooser request;
  request.sTitle = u"保存画像文件";
  request.sFilterName = u"Image Files (*.png)";
  request.sPattern = u"*.png";
  request.bSave = true;
  request.sFileName = phone_pages::ProposedShotName(local).c_str();
  std::vector<CDuiString> paths;
  if (!GetOpenFileNames(pm_->GetPaintWindow(), request, &paths) || paths.empty()) return;
  const std::u16string file = phone_pages::ShotFileName(paths.front().str());
  if (file.empty()) return;
  if (PhonePagesSide()->IsConnected()) PhonePagesSide()->SaveScreenShot(file);
}

void CPhoneInfoDlg::Clear() {
  CPageController::Clear();
  for (CControlUI* c : {phone_name_, home_counts_[kCountApps], home_counts_[kCountContacts],
                        page_counts_[kCountContacts], home_counts_[kCountSms], home_counts_[kCountPictures],
                        home_counts_[kCountVideos], home_counts_[kCountMusic], inner_size_, sdcard_size_})
    SetText(c, u"");
  if (innersize_progress_) innersize_progress_->SetValue(0);
  if (sdcard_progress_) sdcard_progress_->SetValue(0);
  if (phone_shotcut_) phone_shotcut_->SetImage(nullptr);
}
