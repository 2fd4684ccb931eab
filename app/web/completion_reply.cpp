#include "app/web/completion_reply.h"

#include <json/json.h>

#include <exception>
#include <memory>

#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

bool ParseAppNames(const char* body, size_t length, std::vector<std::u16string>* names) {
  names->clear();
  if (body == nullptr || length == 0) return false;
  Json::CharReaderBuilder builder;
  builder["collectComments"] = true;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  std::vector<std::u16string> parsed;
  // jsoncpp throws, rather than failing, on some inputs (nesting deeper than
  // its stack limit among them): nothing it throws leaves this function.
  try {
    if (!reader->parse(body, body + length, &root, &errors)) return false;
    // Only an array of strings is an answer: jsoncpp throws when asked for
    // the string of another kind of value or for an element of a non-array.
    if (!root.isArray()) return false;
    for (Json::ArrayIndex i = 0; i < root.size(); ++i)
      if (!root[i].isString()) return false;
    for (Json::ArrayIndex i = 0; i < root.size(); ++i) parsed.push_back(AnsiToWString(root[i].asString()));
  } catch (const std::exception& e) {
    PD_LOG_WARNING("AppNameComplete: the reply cannot be read (%s)", e.what());
    return false;
  }
  *names = std::move(parsed);
  return !names->empty();
}
