#include "app/connect/phone_seams.h"

#include <atomic>

namespace {

class NullPhone : public IPhone {
 public:
  void Init(const std::u16string& serial) override { serial_ = serial; }
  bool IsConnected() override { return true; }
  void GetScreenShot(const char16_t*) override {}

 private:
  std::u16string serial_;
};

std::atomic<PhoneFactory> g_factory{nullptr};
std::atomic<void (*)()> g_settler{nullptr};

}  // namespace

void SetPhoneFactory(PhoneFactory factory) { g_factory.store(factory); }

std::shared_ptr<IPhone> MakePhone() {
  PhoneFactory factory = g_factory.load();
  return factory != nullptr ? factory() : std::make_shared<NullPhone>();
}

void SetTaskSettler(void (*settle)()) { g_settler.store(settle); }

void SettleTasks() {
  void (*settle)() = g_settler.load();
  if (settle != nullptr) settle();
}
