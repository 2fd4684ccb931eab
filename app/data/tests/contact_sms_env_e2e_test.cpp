// The contact, SMS and environment managers end to end: the real adb and
// the simulated phone's agent (its fixture: four contacts, three
// conversations with a draft, the environment, the framebuffer picture).
#include <gtest/gtest.h>

#include <fstream>

#include "app/agent/socket_thread.h"
#include "app/data/contact_mgr.h"
#include "app/data/environment_mgr.h"
#include "app/data/sms_mgr.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/sim_phone.h"
#include "app/image/tests/png_read.h"
#include "foundation/base/code_page.h"

namespace {

using Posted = std::vector<std::pair<uintptr_t, intptr_t>>;

std::vector<int32_t> ContactIds(CContactMgr& contacts) {
  std::vector<ContactRecord> list;
  contacts.CopyContactList(list);
  std::vector<int32_t> ids;
  for (const ContactRecord& r : list) ids.push_back(r.id);
  return ids;
}

std::vector<int32_t> ThreadIds(CSmsMgr& sms) {
  std::vector<int32_t> ids;
  for (const SmsThreadRecord& t : sms.GetThreadList()) ids.push_back(t.thread_id);
  return ids;
}

// The simulator's framebuffer picture.
uint32_t SimPixel(int x, int y) {
  return 0xFF000000u | static_cast<uint32_t>(x * 255 / 319) << 16 | static_cast<uint32_t>(y * 255 / 479) << 8 | 0x80u;
}

int WrongPixels(const std::vector<uint32_t>& pixels, int width, int height) {
  if (width != 320 || height != 480 || pixels.size() != 320u * 480u) return -1;
  int wrong = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) wrong += pixels[static_cast<size_t>(y) * 320 + static_cast<size_t>(x)] != SimPixel(x, y);
  return wrong;
}

class PhoneContentSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(phone_.Start()) << phone_.sim.Failure();
    CSocketThreadMgr::Instance()->SetHost("127.0.0.1", 0);
    message_sink::Take();
  }
  void TearDown() override {
    CSocketThreadMgr::Instance()->StopAll();
    EXPECT_EQ(phone_.sim.Errors(), "[]");
    phone_.sim.Stop();
  }
  void LoadContacts(CContactMgr& contacts) {
    posts_.Clear();
    contacts.RequestContactCount();  // the count starts the list load
    ASSERT_TRUE(posts_.WaitFor(msg::kContactBusy, 0));
  }
  void Details(CContactMgr& contacts, int32_t id) {
    posts_.Clear();
    contacts.RequestContactInfo(id);
    ASSERT_TRUE(posts_.WaitFor(msg::kContactDetailReady, static_cast<uintptr_t>(id)));
  }

  data_test::PrivateFolders folders_;
  data_test::SimPhone phone_;
  data_test::Posts posts_;
};

TEST_F(PhoneContentSimTest, ContactsListDetailsAddEditDelete) {
  CContactMgr contacts;
  ASSERT_NO_FATAL_FAILURE(LoadContacts(contacts));
  EXPECT_EQ(posts_.Of(msg::kContactCount).front(), (std::pair<uintptr_t, intptr_t>{4, 0}));
  EXPECT_EQ(ContactIds(contacts), (std::vector<int32_t>{3, 2, 4, 1}));  // Alice, 李四, 王小明, 张三
  std::optional<ContactRecord> zhang = contacts.FindContactById(1);
  ASSERT_TRUE(zhang.has_value());
  EXPECT_EQ(zhang->initial, u"Z");
  ASSERT_EQ(zhang->phones.size(), 2u);
  EXPECT_EQ(zhang->phones[1].value, u"010-62345678");
  EXPECT_EQ(contacts.FindContactById(3)->groups.size(), 2u);

  ASSERT_NO_FATAL_FAILURE(Details(contacts, 1));
  zhang = contacts.FindContactById(1);
  EXPECT_EQ(zhang->stale, 0);
  ASSERT_EQ(zhang->ims.size(), 1u);
  EXPECT_EQ(zhang->ims[0].protocol, 4);
  EXPECT_EQ(zhang->postals.at(0).value, u"北京市海淀区中关村大街1号");
  EXPECT_EQ(zhang->emails.at(0).row_id, 1201);

  // Add: the phone gives the id, the details follow, the place is by name.
  ContactRecord added;
  added.name = u"啊新";
  ContactFieldEntry phone;
  phone.type = 2;
  phone.value = u"13600000000";
  added.phones.push_back(phone);
  added.emails.push_back(ContactFieldEntry());  // empty: left out
  posts_.Clear();
  ASSERT_TRUE(contacts.AddContact(&added));
  ASSERT_TRUE(posts_.WaitForMessage(msg::kContactAdded));
  const auto added_post = posts_.Of(msg::kContactAdded).at(0);
  const int32_t new_id = static_cast<int32_t>(added_post.first);
  EXPECT_EQ(added_post.second, 1);  // "Alice Smith" < "啊新" within A
  std::optional<ContactRecord> fresh = contacts.FindContactById(new_id);
  ASSERT_TRUE(fresh.has_value());
  EXPECT_EQ(fresh->initial, u"A");
  EXPECT_EQ(fresh->phones.size(), 1u);
  EXPECT_TRUE(fresh->emails.empty());
  EXPECT_EQ(contacts.GetCount(), 5);

  // Edit 李四: rename, change the number, add an e-mail, drop the messenger.
  ASSERT_NO_FATAL_FAILURE(Details(contacts, 2));
  ContactRecord edited = *contacts.FindContactById(2);
  edited.name = u"Bai Li";
  edited.phones.at(0).value = u"13900139001";
  ContactFieldEntry email;
  email.type = 1;
  email.value = u"li@example.com";
  edited.emails.push_back(email);
  edited.ims.clear();
  posts_.Clear();
  ASSERT_TRUE(contacts.EditContact(&edited));
  ASSERT_TRUE(posts_.WaitFor(msg::kContactDetailReady, 2));
  std::optional<ContactRecord> li = contacts.FindContactById(2);
  EXPECT_EQ(li->name, u"Bai Li");
  EXPECT_EQ(li->initial, u"B");
  EXPECT_EQ(li->phones.at(0).value, u"13900139001");
  ASSERT_EQ(li->emails.size(), 1u);
  EXPECT_NE(li->emails[0].row_id, 0);
  EXPECT_TRUE(li->ims.empty());
  EXPECT_EQ(li->postals.size(), 1u);
  EXPECT_EQ(ContactIds(contacts), (std::vector<int32_t>{3, new_id, 2, 4, 1}));  // renamed: sorted anew

  // Delete: handled before the call returns.
  posts_.Clear();
  contacts.DeleteContact(4);
  EXPECT_FALSE(contacts.FindContactById(4).has_value());
  EXPECT_EQ(posts_.Of(msg::kContactDeleted), (Posted{{4, 0}}));
  EXPECT_EQ(contacts.GetCount(), 4);
  // The phone agrees.
  posts_.Clear();
  contacts.RefreshContactList();
  ASSERT_TRUE(posts_.WaitFor(msg::kContactBusy, 0));
  EXPECT_EQ(ContactIds(contacts), (std::vector<int32_t>{3, new_id, 2, 1}));
  EXPECT_EQ(contacts.FindContactById(2)->phones.at(0).value, u"13900139001");
}

TEST_F(PhoneContentSimTest, SmsConversationsNamesAndDeletions) {
  CSmsMgr sms;
  sms.RefreshSmsList();
  ASSERT_TRUE(posts_.WaitFor(msg::kSmsBusy, 0));
  ASSERT_TRUE(posts_.WaitForMessage(msg::kSmsCount));
  EXPECT_EQ(ThreadIds(sms), (std::vector<int32_t>{2, 1, 3}));
  EXPECT_EQ(sms.GetCount(), 5);  // the draft is not listed
  EXPECT_EQ(sms.FindRecordById(1)->snippet, u"好的，七点见。老地方");

  CContactMgr contacts;
  ASSERT_NO_FATAL_FAILURE(LoadContacts(contacts));
  std::vector<ContactRecord> copies;
  contacts.CopyContactList(copies);
  posts_.Clear();
  sms.SyncSmsContact(copies);
  EXPECT_EQ(sms.FindRecordById(1)->address, u"张三");  // by contact id
  EXPECT_EQ(sms.FindRecordById(2)->address, u"李四");  // "+86 139-0013-9000" against 13900139000
  EXPECT_EQ(sms.FindRecordById(3)->address, u"10086");
  EXPECT_EQ(posts_.Of(msg::kSmsContactsJoined).size(), 1u);

  sms.MarkRead(2, 3);
  EXPECT_EQ(sms.FindRecordById(2)->last_read, 1);
  // The last listed message of conversation 2 takes it away.
  posts_.Clear();
  sms.DeleteSms(2, 3);
  ASSERT_TRUE(posts_.WaitFor(msg::kSmsThreadRemoved, 2));
  posts_.Clear();
  sms.DeleteSms(1, 2);
  ASSERT_TRUE(posts_.WaitFor(msg::kSmsMessageRemoved, 2));
  EXPECT_EQ(sms.FindRecordById(1)->snippet, u"晚上一起吃饭吗？");
  EXPECT_EQ(sms.GetCount(), 3);
  posts_.Clear();
  sms.RequestSmsCount();
  ASSERT_TRUE(posts_.WaitForMessage(msg::kSmsCount));
  EXPECT_EQ(posts_.Of(msg::kSmsCount), (Posted{{3, 0}}));
  EXPECT_NE(phone_.Requests().find("sms_read"), std::string::npos);
}

TEST_F(PhoneContentSimTest, EnvironmentStorageAndScreenshots) {
  CEnvironmentMgr environment;
  environment.RequestEnvironment();
  ASSERT_TRUE(posts_.WaitForMessage(msg::kEnvironmentParsed));
  PhoneEnvironment env = environment.GetEnvironment();
  EXPECT_EQ(env.model, u"Z1 Sim");
  EXPECT_EQ(env.battery_level, 76);
  EXPECT_TRUE(env.sd_card);
  EXPECT_FALSE(env.rooted);
  EXPECT_EQ(env.android_id, u"9774d56d682e549c");

  posts_.Clear();
  environment.RequestStorage();
  ASSERT_TRUE(posts_.WaitForMessage(msg::kStorageSizeParsed));
  env = environment.GetEnvironment();
  EXPECT_EQ(env.internal_total, 8589934592.0);
  EXPECT_EQ(env.internal_available, 3758096384.0);
  EXPECT_EQ(env.sd_total, 15938355200.0);
  EXPECT_EQ(env.sd_available, 11811160064.0);
  EXPECT_TRUE(posts_.Of(msg::kEnvironmentParsed).empty());

  // Into memory: 1238 with the picture, which the receiver owns.
  posts_.Clear();
  environment.SetDeviceSerial(phone_.Serial());
  environment.GetScreenShot(nullptr);
  std::vector<PostedMessage> shots = message_sink::Take();
  ASSERT_EQ(shots.size(), 1u);
  ASSERT_EQ(shots[0].message, msg::kScreenshotInMemory);
  std::unique_ptr<ScreenBitmap> bitmap(reinterpret_cast<ScreenBitmap*>(shots[0].wParam));
  EXPECT_EQ(WrongPixels(bitmap->pixels, bitmap->width, bitmap->height), 0);

  // No window to take it: the picture is freed here (the leak checker of
  // the sanitizer build sees it).
  CConfigMgr::Instance()->SetMainWnd(0);
  environment.GetScreenShot(nullptr);
  CConfigMgr::Instance()->SetMainWnd(data_test::kMainWnd);
  EXPECT_TRUE(message_sink::Take().empty());

  // Into a file: 1239, the same pixels.
  const std::string png = folders_.folder().path() + "/shot.png";
  environment.GetScreenShot(AnsiToWString(png).c_str());
  EXPECT_EQ(posts_.Of(msg::kScreenshotSaved), (Posted{{0, 0}}));
  image_test::Picture picture;
  ASSERT_TRUE(image_test::ReadPng(png, &picture));
  EXPECT_EQ(WrongPixels(picture.pixels, picture.width, picture.height), 0);

  // A failed grab that finds an older file at the path reports nothing.
  posts_.Clear();
  environment.SetDeviceSerial(u"no-such-phone");
  environment.GetScreenShot(AnsiToWString(png).c_str());
  EXPECT_TRUE(posts_.All().empty());
}

}  // namespace
