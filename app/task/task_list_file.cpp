#include "app/task/task_list_file.h"

#include <set>

#include "foundation/xml/xml_document.h"

namespace {

const char16_t kApp[] = u"app";

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

}  // namespace

bool SaveTaskToList(const std::u16string& list_path, const SOfflineTask& task) {
  CXmlDocument doc;
  doc.LoadFile(list_path);
  RemoveById(doc, task.task_id);
  // Past the last element, so the new one is appended after it.
  doc.ResetPosition();
  while (doc.FindElement()) {
  }
  if (!doc.AddElement(kApp)) return false;
  doc.SetAttribute(u"app_name", task.app_name);
  doc.SetAttribute(u"task_id", TaskIdText(task.task_id));
  doc.SetAttribute(u"down_url", task.down_url);
  doc.SetAttribute(u"file_path", task.file_path);
  doc.SetAttribute(u"icon_path", task.icon_path);
  return doc.SaveFile(list_path);
}

void RemoveTaskFromList(const std::u16string& list_path, uint32_t id) {
  if (id == 0) return;
  CXmlDocument doc;
  doc.LoadFile(list_path);
  RemoveById(doc, id);
  doc.SaveFile(list_path);
}

std::vector<SOfflineTask> LoadTaskList(const std::u16string& list_path,
                                       const std::function<bool(const std::u16string&)>& file_exists) {
  std::vector<SOfflineTask> tasks;
  CXmlDocument doc;
  doc.LoadFile(list_path);
  bool changed = false;
  std::set<uint32_t> seen;
  doc.ResetPosition();
  while (doc.FindElement(kApp)) {
    SOfflineTask task;
    task.file_path = doc.GetAttribute(u"file_path");
    bool has_id = ParseTaskId(doc.GetAttribute(u"task_id"), &task.task_id);
    if (!has_id || !file_exists(task.file_path) || !seen.insert(task.task_id).second) {
      doc.RemoveElement();
      changed = true;
      continue;
    }
    task.app_name = doc.GetAttribute(u"app_name");
    task.down_url = doc.GetAttribute(u"down_url");
    task.icon_path = doc.GetAttribute(u"icon_path");
    tasks.push_back(std::move(task));
  }
  if (changed) doc.SaveFile(list_path);
  return tasks;
}
