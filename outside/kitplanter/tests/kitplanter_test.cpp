// The setup library with a throw-away sysfs tree, device folder and rules
// folder, and a recording stand-in for udevadm.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "kitplanter.h"
#include "udev_rule.h"

namespace kitplanter {
namespace {

std::string Read(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TEST(KitplanterParts, BusIds) {
  struct Case {
    std::u16string text;
    bool ok;
    uint16_t vid, pid;
  } cases[] = {
      {u"USB\\VID_18d1&PID_4ee7", true, 0x18d1, 0x4ee7},
      {u"usb\\vid_05AC&pid_12A8&MI_00", true, 0x05ac, 0x12a8},
      {u"USB\\VID_18d1", false, 0, 0},
      {u"USB\\VID_18g1&PID_4ee7", false, 0, 0},
      {u"HID\\VID_18d1&PID_4ee7", false, 0, 0},
      {u"", false, 0, 0},
  };
  for (const Case& c : cases) {
    auto id = ParseBusId(c.text);
    ASSERT_EQ(id.has_value(), c.ok) << std::string(c.text.begin(), c.text.end());
    if (c.ok) {
      EXPECT_EQ(id->vendor_id, c.vid);
      EXPECT_EQ(id->product_id, c.pid);
    }
  }
  EXPECT_EQ(RuleFileName(0x18d1), "51-phonedeck-18d1.rules");
  EXPECT_NE(RuleText(0x18d1).find("ATTR{idVendor}==\"18d1\""), std::string::npos);
  EXPECT_EQ(RunTool({"/nonexistent/udevadm"}, std::chrono::milliseconds(1000)), -1);
  EXPECT_EQ(RunTool({"false"}, std::chrono::milliseconds(5000)), 1);
}

class KitplanterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kitplanter-test-XXXXXX";
    root_ = mkdtemp(tmpl);
    for (const char* dir : {"/sys", "/sys/devices", "/sys/devices/1-1", "/sys/bus", "/sys/bus/usb",
                            "/sys/bus/usb/devices", "/dev", "/dev/bus", "/dev/bus/usb", "/dev/bus/usb/001", "/rules"})
      ::mkdir((root_ + dir).c_str(), 0755);
    Write(root_ + "/sys/devices/1-1/idVendor", "18d1\n");
    Write(root_ + "/sys/devices/1-1/idProduct", "4ee7\n");
    Write(root_ + "/sys/devices/1-1/busnum", "1\n");
    Write(root_ + "/sys/devices/1-1/devnum", "7\n");
    ::symlink((root_ + "/sys/devices/1-1").c_str(), (root_ + "/sys/bus/usb/devices/1-1").c_str());
    node_ = root_ + "/dev/bus/usb/001/007";
    // udevadm: records its arguments; "control" exits with $FAKE_CONTROL_EXIT
    // (or hangs when it is "hang"); "trigger" makes the node when asked to.
    Write(root_ + "/udevadm",
          "#!/bin/sh\n"
          "echo \"$*\" >> \"" + root_ + "/udevadm.log\"\n"
          "case \"$1\" in\n"
          "  control) [ \"$FAKE_CONTROL_EXIT\" = hang ] && exec sleep 30; exit ${FAKE_CONTROL_EXIT:-0};;\n"
          "  trigger) [ -n \"$FAKE_TRIGGER_NODE\" ] && : > \"$FAKE_TRIGGER_NODE\"; exit 0;;\n"
          "esac\n"
          "exit 0\n");
    ::chmod((root_ + "/udevadm").c_str(), 0755);
    setenv("KITPLANTER_SYSFS_ROOT", (root_ + "/sys").c_str(), 1);
    setenv("KITPLANTER_DEV_ROOT", (root_ + "/dev").c_str(), 1);
    setenv("KITPLANTER_RULES_DIR", (root_ + "/rules").c_str(), 1);
    setenv("KITPLANTER_UDEVADM", (root_ + "/udevadm").c_str(), 1);
    setenv("KITPLANTER_TIMEOUT_MS", "5000", 1);
    unsetenv("FAKE_CONTROL_EXIT");
    unsetenv("FAKE_TRIGGER_NODE");
  }
  void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }

  std::string Rule() { return Read(root_ + "/rules/51-phonedeck-18d1.rules"); }
  std::string UdevLog() { return Read(root_ + "/udevadm.log"); }

  std::string root_;
  std::string node_;
};

TEST_F(KitplanterTest, AUsableNodeNeedsNothing) {
  Write(node_, "");
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_SUCCESS);
  EXPECT_EQ(Rule(), "");
  EXPECT_EQ(UdevLog(), "");
}

TEST_F(KitplanterTest, WritesTheRuleAndReloadsUdev) {
  setenv("FAKE_TRIGGER_NODE", node_.c_str(), 1);  // udev grants access
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18D1&PID_4EE7"), QEN_SETUP_SUCCESS);
  EXPECT_EQ(Rule(), RuleText(0x18d1));
  EXPECT_EQ(UdevLog(),
            "control --reload-rules\n"
            "trigger --action=add --subsystem-match=usb --attr-match=idVendor=18d1\n"
            "settle --timeout=5\n");
  struct stat st;
  ASSERT_EQ(::stat((root_ + "/rules/51-phonedeck-18d1.rules").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(std::system(("test $(ls -A '" + root_ + "/rules' | wc -l) -eq 1").c_str()), 0) << "no temporary file left";
}

TEST_F(KitplanterTest, TheSameRuleIsNotRewrittenAndAStillClosedNodeNeedsReplugging) {
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_SUCCESS_REBOOT);
  struct stat first, second;
  ASSERT_EQ(::stat((root_ + "/rules/51-phonedeck-18d1.rules").c_str(), &first), 0);
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_SUCCESS_REBOOT);
  ASSERT_EQ(::stat((root_ + "/rules/51-phonedeck-18d1.rules").c_str(), &second), 0);
  EXPECT_EQ(first.st_ino, second.st_ino);
  // A different rule of ours is replaced.
  Write(root_ + "/rules/51-phonedeck-18d1.rules", "stale\n");
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_SUCCESS_REBOOT);
  EXPECT_EQ(Rule(), RuleText(0x18d1));
}

TEST_F(KitplanterTest, AnAbsentDeviceGetsItsRuleForLater) {
  EXPECT_EQ(QENKitplanter(u"USB\\VID_2717&PID_ff48"), QEN_SETUP_SUCCESS);
  EXPECT_EQ(Read(root_ + "/rules/51-phonedeck-2717.rules"), RuleText(0x2717));
}

TEST_F(KitplanterTest, WithoutUdevTheDeviceMustBePluggedInAgain) {
  setenv("FAKE_CONTROL_EXIT", "1", 1);
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_SUCCESS_REBOOT);
  EXPECT_EQ(Rule(), RuleText(0x18d1));
  EXPECT_EQ(UdevLog(), "control --reload-rules\n");
  setenv("KITPLANTER_UDEVADM", (root_ + "/no-udevadm").c_str(), 1);
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_SUCCESS_REBOOT);
}

TEST_F(KitplanterTest, AHangingUdevadmIsTimedOut) {
  setenv("FAKE_CONTROL_EXIT", "hang", 1);
  setenv("KITPLANTER_TIMEOUT_MS", "200", 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_SUCCESS_REBOOT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(KitplanterTest, NoRightToWriteTheRuleFails) {
  Write(root_ + "/not-a-folder", "");
  setenv("KITPLANTER_RULES_DIR", (root_ + "/not-a-folder").c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_ERROR_UNKNOWN);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("install this rule as root"), std::string::npos);
  EXPECT_NE(said.find(RuleText(0x18d1)), std::string::npos);
  EXPECT_EQ(UdevLog(), "");
}

TEST_F(KitplanterTest, PackageAndBusIdAreChecked) {
  QENSetDriverPackage((u"/nonexistent/package"), 9);
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_INVALID_PATH);
  Write(root_ + "/package", "driver bytes, never a rule");
  const std::string package = root_ + "/package";
  QENSetDriverPackage(std::u16string(package.begin(), package.end()).c_str(), 9);
  Write(node_, "");
  EXPECT_EQ(QENKitplanter(u"USB\\VID_18d1&PID_4ee7"), QEN_SETUP_SUCCESS);
  EXPECT_EQ(QENKitplanter(u"not a bus id"), QEN_SETUP_ERROR_UNKNOWN);
  EXPECT_EQ(QENKitplanter(nullptr), QEN_SETUP_ERROR_UNKNOWN);
}

}  // namespace
}  // namespace kitplanter
