#include "app/task/task_list_file.h"

#include <sys/stat.h>

#include <set>

#include "foundation/base/code_page.h"
#include "foundation/base/file_util.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace {

const char16_t kApp[] = u"app";

bool IsBlank(const std::u16string& text) {
  for (char16_t c : text) {
    if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
  }
  return true;
}

// Loads the list file into `doc`. A file that is there but from which not
// one "app" element can be read is moved aside under a dated name (and
// logged) before anything saves over it, and the list reads as empty. A
// torn file whose first elements are whole reads as those elements.
void LoadList(const std::u16string& list_path, CXmlDocument& doc) {
  doc.LoadFile(list_path);
  doc.ResetPosition();
  if (doc.FindElement(kApp)) return;
  const std::string path = WStringToAnsi(list_path);
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return;
  std::u16string text;
  uint32_t flags = 0;
  if (CXmlDocument::ReadTextFile(path, text, nullptr, &flags) && IsBlank(text)) return;
  const std::u16string moved = MoveAsideDated(list_path);
  if (!moved.empty()) {
    PD_LOG_ERROR("%s cannot be read; kept as %s", path.c_str(), WStringToAnsi(moved).c_str());
  } else {
    PD_LOG_ERROR("%s cannot be read and cannot be moved aside; it is left as it is", path.c_str());
  }
  doc.SetDocument(u"");
}

// Removes every top-level "app" element with task id `id`; true when one was.
bool RemoveById(CXmlDocument& doc, uint32_t id) {
  bool removed = false;
  doc.ResetPosition();
  while (doc.FindElement(kApp)) {
    uint32_t listed = 0;
    if (ParseTaskId(doc.GetAttribute(u"task_id"), &listed) && listed == id) {
      doc.RemoveElement();
      removed = true;
    }
  }
  return removed;
}

// Adds `task` after the current position (a new document: after the
// element added last).
bool AddTask(CXmlDocument& doc, const SOfflineTask& task) {
  if (!doc.AddElement(kApp)) return false;
  doc.SetAttribute(u"app_name", task.app_name);
  doc.SetAttribute(u"task_id", TaskIdText(task.task_id));
  doc.SetAttribute(u"down_url", task.down_url);
  doc.SetAttribute(u"file_path", task.file_path);
  doc.SetAttribute(u"icon_path", task.icon_path);
  return true;
}

}  // namespace

bool SaveTaskToList(const std::u16string& list_path, const SOfflineTask& task) {
  CXmlDocument doc;
  LoadList(list_path, doc);
  RemoveById(doc, task.task_id);
  // Past the last element, so the new one is appended after it.
  doc.ResetPosition();
  while (doc.FindElement()) {
  }
  if (!AddTask(doc, task)) return false;
  return doc.SaveFile(list_path);
}

void RemoveTaskFromList(const std::u16string& list_path, uint32_t id) {
  if (id == 0) return;
  CXmlDocument doc;
  LoadList(list_path, doc);
  RemoveById(doc, id);
  doc.SaveFile(list_path);
}

// The elements kept are written into a new document once, after the walk:
// removing each dropped element from the loaded text would move everything
// behind it, once per element.
std::vector<SOfflineTask> LoadTaskList(const std::u16string& list_path,
                                       const std::function<bool(const std::u16string&)>& file_exists) {
  std::vector<SOfflineTask> tasks;
  CXmlDocument doc;
  LoadList(list_path, doc);
  bool dropped = false;
  std::set<uint32_t> seen;
  doc.ResetPosition();
  while (doc.FindElement(kApp)) {
    SOfflineTask task;
    task.file_path = doc.GetAttribute(u"file_path");
    bool has_id = ParseTaskId(doc.GetAttribute(u"task_id"), &task.task_id);
    if (!has_id || !file_exists(task.file_path) || !seen.insert(task.task_id).second) {
      dropped = true;
      continue;
    }
    task.app_name = doc.GetAttribute(u"app_name");
    task.down_url = doc.GetAttribute(u"down_url");
    task.icon_path = doc.GetAttribute(u"icon_path");
    tasks.push_back(std::move(task));
  }
  if (dropped) {
    CXmlDocument kept;
    for (const SOfflineTask& task : tasks) AddTask(kept, task);
    kept.SaveFile(list_path);
  }
  return tasks;
}
