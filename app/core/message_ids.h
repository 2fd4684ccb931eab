// The main window's own message numbers: every worker, manager and page
// posts with these names, and the main window and its page controllers
// dispatch on them. Values are WM_USER + n (WM_USER = 1024).
//
// Column "wParam / lParam" in each comment says what the message carries;
// only kMsgDriverDownloadProgress carries a heap object (owned by the
// receiver; a failed post frees it). Everything else is plain numbers.
#pragma once

#include <cstdint>

namespace msg {

constexpr uint32_t kWmUser = 1024;

// Main window.
constexpr uint32_t kDriverDownloadProgress = kWmUser + 201;  // 1225 device handle / DriverDownloadProgress*
constexpr uint32_t kAgentLinkFailed = kWmUser + 202;         // 1226 0 / 0: reconnect
constexpr uint32_t kConnectionState = kWmUser + 203;         // 1227 device handle or 0 / state index 0-20

// Phone home page (CPhoneInfoDlg).
constexpr uint32_t kEnvironmentParsed = kWmUser + 204;       // 1228 0 / 0
constexpr uint32_t kEnvironmentTextReady = kWmUser + 205;    // 1229 0 / 0
constexpr uint32_t kPhoneInfoUnused = kWmUser + 206;         // 1230 no sender
constexpr uint32_t kStorageSizeParsed = kWmUser + 207;       // 1231 0 / 0
constexpr uint32_t kContactCount = kWmUser + 208;            // 1232 count / 0
constexpr uint32_t kSmsCount = kWmUser + 209;                // 1233 count / 0
constexpr uint32_t kPictureCount = kWmUser + 210;            // 1234 count / 0
constexpr uint32_t kVideoCount = kWmUser + 211;              // 1235 count / 0
constexpr uint32_t kMusicCount = kWmUser + 212;              // 1236 count / 0
constexpr uint32_t kAppCount = kWmUser + 213;                // 1237 count (0 after a recount) / 0
constexpr uint32_t kScreenshotInMemory = kWmUser + 214;      // 1238 bitmap handle (owned by receiver) / 0
constexpr uint32_t kScreenshotSaved = kWmUser + 215;         // 1239 0 / 0, no receiver
constexpr uint32_t kPhoneContentChanged = kWmUser + 216;     // 1240 0 / 0: refresh storage display

// Apps page (CPhoneAppDlg).
constexpr uint32_t kAppPage217 = kWmUser + 217;              // 1241 no sender
constexpr uint32_t kAppPage218 = kWmUser + 218;              // 1242 0 / 0: app list and updates known
constexpr uint32_t kAppIconReady = kWmUser + 219;            // 1243 app key / 0
constexpr uint32_t kAppRemoved = kWmUser + 220;              // 1244 app key or 0 / removal result
constexpr uint32_t kAppInstalled = kWmUser + 221;            // 1245 app key / install result
constexpr uint32_t kAppUpgradeQueued = kWmUser + 222;        // 1246 app key / 0
constexpr uint32_t kAppRefreshed = kWmUser + 223;            // 1247 app key / 0
constexpr uint32_t kAppTaskDeleted = kWmUser + 224;          // 1248 package key / 0
constexpr uint32_t kAppPage225 = kWmUser + 225;              // 1249 no sender
constexpr uint32_t kAppAdded = kWmUser + 226;                // 1250 app key / 0
constexpr uint32_t kAppBusy = kWmUser + 227;                 // 1251 busy 0/1 / 0
constexpr uint32_t kUnused228 = kWmUser + 228;               // 1252 not used
constexpr uint32_t kAppUpdatableCount = kWmUser + 229;       // 1253 count / 0

// Task window (CAutoTaskDlg).
constexpr uint32_t kOnlineTaskAdded = kWmUser + 230;         // 1254 task id / 0
constexpr uint32_t kOnlineTaskRemoved = kWmUser + 231;       // 1255 task id / 0
constexpr uint32_t kOfflineTaskAdded = kWmUser + 232;        // 1256 task id / 0
constexpr uint32_t kOfflineTaskRemoved = kWmUser + 233;      // 1257 task id / 0
constexpr uint32_t kOnlineTaskChanged = kWmUser + 234;       // 1258 task id / new state or 0
constexpr uint32_t kTaskListLoaded = kWmUser + 235;          // 1259 0 / 0
constexpr uint32_t kTaskIconReady = kWmUser + 236;           // 1260 task id / 0
constexpr uint32_t kDownloadAnimation = kWmUser + 237;       // 1261 0 / 0 (main window)

// Contacts page (CContactDlg).
constexpr uint32_t kContactListLoaded = kWmUser + 238;       // 1262 0 / 0
constexpr uint32_t kContactDetailReady = kWmUser + 239;      // 1263 contact id / 0
constexpr uint32_t kContactDeleted = kWmUser + 240;          // 1264 contact id / 0
constexpr uint32_t kContactAdded = kWmUser + 241;            // 1265 contact id / position
constexpr uint32_t kContactBusy = kWmUser + 242;             // 1266 busy / 0

// SMS page (CSmsDlg).
constexpr uint32_t kSmsListLoaded = kWmUser + 243;           // 1267 0 / 0
constexpr uint32_t kSmsUnused244 = kWmUser + 244;            // 1268 no sender, no receiver
constexpr uint32_t kSmsThreadRemoved = kWmUser + 245;        // 1269 conversation id / 0
constexpr uint32_t kSmsMessageRemoved = kWmUser + 246;       // 1270 message id / 0
constexpr uint32_t kSmsContactListsLoaded = kWmUser + 247;   // 1271 0 / 0
constexpr uint32_t kSmsContactsJoined = kWmUser + 248;       // 1272 0 / 0
constexpr uint32_t kSmsBusy = kWmUser + 249;                 // 1273 busy / 0

// Pictures page (CPictureDlg).
constexpr uint32_t kPictureListLoaded = kWmUser + 250;       // 1274 0 / 0
constexpr uint32_t kPictureDetailReady = kWmUser + 251;      // 1275 picture id / 0
constexpr uint32_t kPictureAdded = kWmUser + 252;            // 1276 picture id / album key (low 32 bits)
constexpr uint32_t kPictureDeleted = kWmUser + 253;          // 1277 picture id / album key or 0
constexpr uint32_t kThumbnailReady = kWmUser + 254;          // 1278 picture id / 0
constexpr uint32_t kImageReady = kWmUser + 255;              // 1279 picture id / 0
constexpr uint32_t kPictureBusy = kWmUser + 256;             // 1280 busy / 0

// Music page (CMusicDlg).
constexpr uint32_t kMusicListLoaded = kWmUser + 257;         // 1281 0 / 0
constexpr uint32_t kMusicAdded = kWmUser + 258;              // 1282 music id / 0
constexpr uint32_t kMusicDeleted = kWmUser + 259;            // 1283 music id / 0
constexpr uint32_t kMusicBusy = kWmUser + 260;               // 1284 busy / 0

// Video page (CVideoDlg).
constexpr uint32_t kVideoListLoaded = kWmUser + 261;         // 1285 0 / 0
constexpr uint32_t kVideoAdded = kWmUser + 262;              // 1286 video id / 0
constexpr uint32_t kVideoDeleted = kWmUser + 263;            // 1287 video id / 0
constexpr uint32_t kVideoBusy = kWmUser + 264;               // 1288 busy / 0

// Main window: search suggestions.
constexpr uint32_t kSearchSuggestions = kWmUser + 265;       // 1289 0 / 0

// Posted to the batch-job box's own window (CMessageBoxDlg).
constexpr uint32_t kBatchProgress = kWmUser + 266;           // 1290 total / done so far
constexpr uint32_t kBatchFinished = kWmUser + 267;           // 1291 total / 0
constexpr uint32_t kFtpProgress = kWmUser + 268;             // 1292 transfer handle / percent 0-100

// Posted to the feedback window (CFeedbackWnd).
constexpr uint32_t kFeedbackAnswer = kWmUser + 269;          // 1293 0 / 0

// Main window.
constexpr uint32_t kTrayIcon = kWmUser + 270;                // 1294 tray icon id / mouse message
constexpr uint32_t kQuitRequest = kWmUser + 271;             // 1295 from other programs

// Private numbers (WM_APP + 3000 to + 3002).
constexpr uint32_t kBringToFront = 35768;                    // 0 / 0 (second instance: wParam 100)
constexpr uint32_t kMainMenuCommand = 35769;                 // menu command 105/106/107 / 0
// The task manager's start has ended (CAutoTaskMgr::Init on its worker).
constexpr uint32_t kTaskMgrStarted = 35770;                  // engine running 1/0 / 0

constexpr uint32_t kFirstOwn = kDriverDownloadProgress;
constexpr uint32_t kLastOwn = kQuitRequest;

}  // namespace msg
