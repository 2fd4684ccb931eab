// The FTP channel against the simulated phone's FTP server through its adb
// forwards, and the plain download against a loopback HTTP server.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "app/adb/tests/phone_sim_process.h"
#include "app/adb/tests/temp_folder.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/log.h"

namespace {

using testing_support::PhoneSim;
using testing_support::TempFolder;

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// Progress messages, recorded by a test poster.
std::mutex g_lock;
std::vector<PostedMessage> g_posts;
bool TestIsWindow(uintptr_t wnd) { return wnd != 0; }
bool TestPost(uintptr_t wnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_posts.push_back(PostedMessage{wnd, message, wParam, lParam});
  return true;
}
std::vector<int> PercentsFor(uintptr_t wnd) {
  std::lock_guard<std::mutex> hold(g_lock);
  std::vector<int> out;
  for (const PostedMessage& m : g_posts) {
    if (m.wnd == wnd && m.message == msg::kFtpProgress) out.push_back(static_cast<int>(m.lParam));
  }
  return out;
}

class FtpE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim_ = new PhoneSim();
    ASSERT_TRUE(sim_->Start({"--forward"})) << sim_->Failure();
    SetWindowPoster(WindowPoster{TestIsWindow, TestPost});
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(sim_->Errors(), "[]");
    delete sim_;
    sim_ = nullptr;
    SetWindowPoster(WindowPoster{});
  }
  void SetUp() override {
    tool_.SetHost("ftp://127.0.0.1", "8:8", sim_->Port("ftp_port"));
    sd_ = sim_->Field("root") + "/storage/sdcard0/";
  }

  static PhoneSim* sim_;
  CFtpCmdTool tool_;
  TempFolder dir_;
  std::string sd_;
};
PhoneSim* FtpE2eTest::sim_ = nullptr;

TEST_F(FtpE2eTest, UploadDownloadDeleteWithAwkwardNames) {
  const std::string content(300000, 'z');
  const std::string local = dir_.Write("src.mp3", content);
  for (const std::string name : {"a b 歌曲.mp3", "#1?x%y&+.mp3", "plain.mp3"}) {
    const std::string remote = "sdcard/Tamsil/New Folder/" + name;
    FtpTransferContext up{0, 0x501};
    ASSERT_TRUE(tool_.UploadFile(remote.c_str(), local.c_str(), &up)) << name;
    EXPECT_NE(up.handle, 0u);
    ASSERT_TRUE(Exists(sd_ + "Tamsil/New Folder/" + name)) << name;
    const std::vector<int> percents = PercentsFor(0x501);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);

    FtpTransferContext down{0, 0x502};
    const std::string back = dir_.File("back " + name);
    ASSERT_TRUE(tool_.DownloadFileWithProgress(remote.c_str(), back.c_str(), &down)) << name;
    EXPECT_EQ(dir_.Read("back " + name), content);
    EXPECT_EQ(PercentsFor(0x502).back(), 100);

    EXPECT_TRUE(tool_.DeleteFile(remote.c_str())) << name;
    EXPECT_FALSE(Exists(sd_ + "Tamsil/New Folder/" + name));
    EXPECT_FALSE(tool_.DeleteFile(remote.c_str())) << name;
  }
}

TEST_F(FtpE2eTest, MissingFilesOnEitherSide) {
  EXPECT_FALSE(tool_.UploadFile("sdcard/x.mp3", dir_.File("missing.mp3").c_str(), nullptr));
  const std::string local = dir_.File("never.mp3");
  EXPECT_FALSE(tool_.DownloadFileWithProgress("sdcard/none/none.mp3", local.c_str(), nullptr));
  EXPECT_FALSE(Exists(local));
  EXPECT_FALSE(tool_.DownloadFile(("ftp://8:8@127.0.0.1:" + sim_->Field("ftp_port") + "/sdcard/none.mp3").c_str(),
                                  local.c_str()));
  EXPECT_FALSE(Exists(local));
  EXPECT_FALSE(tool_.UploadFile("sdcard/a\r\nDELE b", dir_.Write("x", "x").c_str(), nullptr));
}

TEST_F(FtpE2eTest, EmptyFileTravelsWithZeroPercentages) {
  const std::string local = dir_.Write("empty.txt", "");
  FtpTransferContext up{0, 0x601};
  ASSERT_TRUE(tool_.UploadFile("sdcard/empty.txt", local.c_str(), &up));
  FtpTransferContext down{0, 0x602};
  const std::string back = dir_.File("empty back.txt");
  ASSERT_TRUE(tool_.DownloadFileWithProgress("sdcard/empty.txt", back.c_str(), &down));
  EXPECT_TRUE(Exists(back));
  for (uintptr_t wnd : {uintptr_t{0x601}, uintptr_t{0x602}}) {
    for (int p : PercentsFor(wnd)) EXPECT_EQ(p, 0);
  }
  EXPECT_TRUE(tool_.DeleteFile("sdcard/empty.txt"));
}

TEST_F(FtpE2eTest, PauseCancelsOnlyItsOwnTransfer) {
  // A finished download beside the cancelled upload must keep its file.
  const std::string small = dir_.Write("small.bin", std::string(4000, 's'));
  ASSERT_TRUE(tool_.UploadFile("sdcard/keep.bin", small.c_str(), nullptr));

  const std::string big = dir_.Write("big.bin", std::string(64 << 20, 'b'));
  FtpTransferContext up{0, 0x701};
  std::atomic<bool> result{true};
  std::thread upload([&] { result = tool_.UploadFile("sdcard/big.bin", big.c_str(), &up); });
  // Wait until the upload's bytes flow (its data connection is made: the
  // first progress comes before that), then cancel it from here. The
  // simulated phone, like the agent, has one passive data port, so two
  // sessions asking for it at once could be paired crosswise.
  const auto flowing = [] {
    for (int p : PercentsFor(0x701))
      if (p > 0) return true;
    return false;
  };
  for (int i = 0; i < 4000 && !flowing(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(flowing());
  FtpTransferContext down{0, 0x702};
  const std::string kept = dir_.File("kept.bin");
  EXPECT_TRUE(tool_.DownloadFileWithProgress("sdcard/keep.bin", kept.c_str(), &down));  // the upload is joined below
  EXPECT_NE(down.handle, up.handle);
  EXPECT_TRUE(tool_.Pause(up.handle));
  upload.join();
  EXPECT_FALSE(result.load());
  EXPECT_FALSE(Exists(sd_ + "big.bin"));
  EXPECT_EQ(dir_.Read("kept.bin"), std::string(4000, 's'));
  EXPECT_FALSE(tool_.Pause(up.handle));  // over
  EXPECT_FALSE(tool_.Pause(987654));
  EXPECT_TRUE(tool_.DeleteFile("sdcard/keep.bin"));
}

TEST_F(FtpE2eTest, PlainDownloadHttpAndFtp) {
  httplib::Server server;
  server.Get("/icon.png", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("\x89PNG-data", "image/png");
  });
  server.Get("/moved", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/icon.png"); });
  server.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("file:///etc/hostname");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string base = "http://127.0.0.1:" + std::to_string(port);

  const std::string local = dir_.File("icon.png");
  EXPECT_TRUE(tool_.DownloadFile((base + "/icon.png").c_str(), local.c_str()));
  EXPECT_EQ(dir_.Read("icon.png"), "\x89PNG-data");
  EXPECT_TRUE(tool_.DownloadFile((base + "/moved").c_str(), dir_.File("moved.png").c_str()));
  EXPECT_EQ(dir_.Read("moved.png"), "\x89PNG-data");

  const std::string missing = dir_.File("404.png");
  EXPECT_FALSE(tool_.DownloadFile((base + "/nothing.png").c_str(), missing.c_str()));
  EXPECT_FALSE(Exists(missing));  // the error page is not saved
  EXPECT_FALSE(tool_.DownloadFile((base + "/to-file").c_str(), missing.c_str()));
  EXPECT_FALSE(tool_.DownloadFile("file:///etc/hostname", missing.c_str()));
  EXPECT_FALSE(Exists(missing));
  server.stop();
  serving.join();

  const std::string src = dir_.Write("via-ftp.txt", "hello phone");
  ASSERT_TRUE(tool_.UploadFile("sdcard/via ftp.txt", src.c_str(), nullptr));
  EXPECT_TRUE(tool_.DownloadFile(("ftp://8:8@127.0.0.1:" + sim_->Field("ftp_port") + "/sdcard/via%20ftp.txt").c_str(),
                                 dir_.File("got.txt").c_str()));
  EXPECT_EQ(dir_.Read("got.txt"), "hello phone");
  EXPECT_TRUE(tool_.DeleteFile("sdcard/via ftp.txt"));
}

TEST(FtpOfflineTest, NothingListeningAndTheLogSaysWhy) {
  TempFolder dir;
  mkdir(dir.File("log").c_str(), 0755);
  setenv("PHONEDECK_PROGRAM_DIR", dir.path().c_str(), 1);
  ASSERT_TRUE(base::BaseLog::GetInstance()->Open("log/ftp.log"));
  {
    CFtpCmdTool tool;
    tool.SetHost("ftp://127.0.0.1", "8:8", 1);  // port 1: refused
    EXPECT_FALSE(tool.UploadFile("sdcard/a.txt", dir.File("missing.txt").c_str(), nullptr));
    const std::string local = dir.Write("a.txt", "a");
    EXPECT_FALSE(tool.UploadFile("sdcard/a.txt", local.c_str(), nullptr));
    EXPECT_FALSE(tool.DownloadFileWithProgress("sdcard/a.txt", dir.File("b.txt").c_str(), nullptr));
    EXPECT_FALSE(Exists(dir.File("b.txt")));
    EXPECT_FALSE(tool.DeleteFile("sdcard/a.txt"));
  }
  base::BaseLog::GetInstance()->Close();
  unsetenv("PHONEDECK_PROGRAM_DIR");
  const std::string log = dir.Read("log/ftp.log");
  for (const std::string& line :
       {"Couldnt open '" + dir.File("missing.txt") + "': No such file or directory",
        std::string("curl_easy_perform() failed=Couldn't connect to server Ftphost_url=ftp://127.0.0.1:1/sdcard/a.txt"),
        std::string("curl upload over"), std::string("curl download over"),
        std::string("curl_easy_perform() failed=Couldn't connect to server file_path=sdcard/a.txt"),
        std::string("(ftpcmd_tool:")}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

}  // namespace
