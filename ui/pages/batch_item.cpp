#include "ui/pages/batch_item.h"

#include "app/data/phone_transfer.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

bool ExportedNames::Export(const std::u16string& phone_file, const std::function<bool()>& export_file) {
  const std::u16string name = FileNameOf(phone_file);
  if (!name.empty() && written_.count(name) != 0) {
    PD_LOG_WARNING("export refused: %s has the name of a file this export already wrote",
                   WStringToAnsi(phone_file).c_str());
    return false;
  }
  if (!export_file()) return false;
  if (!name.empty()) written_.insert(name);
  return true;
}
