// CConnectMgr: links the program to a plugged-in Android phone. It starts
// device detection in devwarden with two callbacks, keeps the list of
// attached Android devices, and for the current device (the first listed)
// runs one CConnectThread per attempt; every step is posted to the main
// window as a connection state (message 1227, connect_state.h). On the state
// kConn_Sucess the main window asks it to create the phone front object.
//
// Threading:
//   - `lock_` guards the device list, the connected flag and the phone
//     holder. The phone is handed out as a shared_ptr copied under the
//     lock, so a page keeps a live phone while a worker disconnects; the
//     lock is never held across network I/O or while threads are joined.
//   - `start_lock_` makes "is the connect thread idle? then start it" one
//     step, whichever thread asks.
//   - `threads_lock_` guards the driver-install threads (finished ones are
//     joined and dropped when the next starts; the rest at teardown).
//   - Callbacks arrive on devwarden's threads; the constructor and the
//     destructor run on the main thread. The destructor joins the install
//     threads (they call devwarden), then stops devwarden (PNP_UnInit)
//     before anything it calls back into goes away, then cuts a running
//     agent exchange of the attempt short and joins the attempt.
//   - Every exchange of an attempt runs under the attempt's ExchangeControl:
//     Disconnect from another thread and teardown shut its socket down, so
//     neither waits for the transport's time-out.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/agent/socket_thread.h"
#include "app/connect/connect_state.h"
#include "app/connect/devwarden_api.h"
#include "app/connect/phone_seams.h"
#include "app/core/message_payloads.h"
#include "foundation/base/locks.h"
#include "foundation/base/win_thread.h"

constexpr char16_t kAgentPackage[] = u"com.zelvik.assist";
constexpr char16_t kAgentActivity[] = u"com.zelvik.assist/com.zelvik.assist.MainActivity";
constexpr char kAgentDisplayName[] = "Zelvik手游助手";

// One attached Android device.
struct PhoneDeviceInfo {
  std::u16string serial;
  int32_t handle = 0;
  std::u16string manufacturer;
  std::u16string product;
  std::u16string vendor_id;   // 4 characters
  std::u16string product_id;  // 4 characters
};

class CConnectMgr;

// One connection attempt per run.
class CConnectThread : public base::WinThread {
 public:
  static constexpr int kAdbStateTries = 3;
  static constexpr uint32_t kAdbStateWaitMs = 1000;
  static constexpr uint32_t kDebugOffPauseMs = 1000;
  static constexpr int kAgentPolls = 6;
  static constexpr uint32_t kAgentPollWaitMs = 1500;

  explicit CConnectThread(CConnectMgr* manager);
  ~CConnectThread() override;

  void SetDevice(int32_t handle) { device_.store(handle); }
  int32_t GetDevice() const { return device_.load(); }
  // Cuts the attempt's agent exchange short (any thread); the rest of the
  // attempt's exchanges then fail at once. ResetExchange readies the next run
  // (owner, while idle).
  void CancelExchange() { control_.Cancel(); }
  void ResetExchange() { control_.Reset(); }

 protected:
  void Run() override;

 private:
  int CheckPhoneServer();
  void PostState(int state);
  void ReportState(int state);

  CConnectMgr* manager_;
  std::atomic<int32_t> device_{0};
  ExchangeControl control_;
};

class CConnectMgr {
 public:
  static CConnectMgr* Instance();
  static void Release();

  explicit CConnectMgr(const DevwardenApi& api = LinkedDevwarden());
  ~CConnectMgr();
  CConnectMgr(const CConnectMgr&) = delete;
  CConnectMgr& operator=(const CConnectMgr&) = delete;

  // Starts detection on its own thread and points the FTP channel and the
  // agent transport at the forwarded ports.
  void Start();

  std::shared_ptr<IPhone> GetPhone();
  bool IsConnected();
  std::shared_ptr<IPhone> CreatePhone();
  bool ReConnect(bool force);
  void StartConnect(int32_t handle);
  // Drops the phone and stops the link's threads; also cuts a running agent
  // exchange of the attempt short.
  void Disconnect();
  // Drops the phone and stops the link's threads (the attempt's own start).
  void DropPhone();
  // Stops the agent keep-alive and every running agent command, then
  // settles the tasks waiting to install (SettleTasks).
  void StopAllThreads();
  // The driver-install threads still held (finished ones are dropped first).
  size_t InstallThreadCount();

  // The current (first listed) device; 0 / false / unchanged / empty when none.
  int32_t GetCurrentDevice();
  bool GetCurrentDeviceInfo(PhoneDeviceInfo* info);
  void GetCurrentDeviceStrings(std::u16string& serial, std::u16string& manufacturer, std::u16string& product,
                               std::u16string& vendor_id, std::u16string& product_id);
  std::u16string GetCurrentSerial();
  size_t GetDeviceCount();
  std::u16string GetPhoneDisplayName(const std::u16string& adb_name);
  void RemoveDevice(int32_t handle);

  // The agent answers "connect" with result 1; `control` cuts it short.
  bool CheckAgent(ExchangeControl* control = nullptr);
  bool StartAgentApp();

  const DevwardenApi& Api() const { return api_; }

  // devwarden's callbacks (context: the manager).
  static int DeviceEventCallback(int event, int device, uintptr_t context);
  static int DriverDownloadCallback(int device, int* status, uint64_t* total, uint64_t* downloaded, int* speed,
                                    uintptr_t context);
  void OnDeviceEvent(int event, int32_t handle);
  void OnDriverDownload(int32_t handle, std::unique_ptr<DriverDownloadProgress> progress);
  void InstallDriver(int32_t handle);

  // Posts a connection state for a device.
  static void PostState(int32_t handle, int state);

 private:
  void InitDeviceDetection();
  void OnArrival(int32_t handle);
  bool IsCurrentDevice(int32_t handle);
  void StartInstallThread(int32_t handle);
  void PruneInstallThreads();  // threads_lock_ held

  DevwardenApi api_;
  base::CCriticalSection lock_;  // guards devices_, connected_, phone_
  std::vector<PhoneDeviceInfo> devices_;
  const size_t current_index_ = 0;
  bool connected_ = false;
  std::shared_ptr<IPhone> phone_;

  std::mutex start_lock_;  // "idle? then start" of the connect thread
  std::unique_ptr<CConnectThread> connect_thread_;

  std::thread detection_thread_;  // started by Start, joined by the destructor
  std::mutex threads_lock_;       // guards install_threads_ and stopping_
  struct InstallThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;  // set by the thread as it ends
  };
  std::list<InstallThread> install_threads_;
  bool stopping_ = false;
};
