// One agent command: the request document, the package in flight, what the
// target receives, and the checks of a reply.
//
// Request: <request ver="1" method="GET|POST"><cmd id="..."> parameters
// </cmd></request>, sent as UTF-8. Reply: <response result="1"> payload
// </response>, read until the agent closes the connection.
#pragma once

#include <cstdint>
#include <string>

#include "app/agent/buffer_t.h"

class CBaseResponse;
class CXmlDocument;

// One command in flight. Created by a manager's send operation; owned by
// the transport until it reaches the target, which deletes it.
class CCmdPackage {
 public:
  explicit CCmdPackage(const std::u16string& command) : command_(command) {}

  const std::u16string& GetRequest() const { return request_; }
  void SetRequest(const std::u16string& request) { request_ = request; }
  const std::u16string& GetParam() const { return param_; }
  void SetParam(const std::u16string& param) { param_ = param; }
  CBaseResponse* GetTarget() const { return target_; }
  void SetTarget(CBaseResponse* target) { target_ = target; }
  int32_t GetFlag() const { return flag_; }
  void SetFlag(int32_t flag) { flag_ = flag; }
  const std::u16string& GetCommand() const { return command_; }

 private:
  std::u16string request_;
  std::u16string param_;
  CBaseResponse* target_ = nullptr;  // not owned
  int32_t flag_ = 0;
  std::u16string command_;
};

// What a target receives: status 0 when the agent answered, negative when
// it could not be reached; a copy of the raw reply; the package (the
// target deletes it).
struct CmdResponse {
  int32_t status = 0;
  CBufferT<unsigned char> reply{512};
  CCmdPackage* package = nullptr;
};

// Adds request (ver, method) > cmd (id) and leaves the position on cmd.
void BuildRequestXml(CXmlDocument& document, const std::u16string& command,
                     const std::u16string& method);

// Parses the reply (up to its first NUL byte) into `document`; true when
// it is well-formed with the root `response` and result "1" (any case);
// the position is then inside `response`.
bool CheckResponse(CXmlDocument& document, const CBufferT<unsigned char>& reply);
// False (logged) when the agent could not be reached.
bool CheckResponseStatus(const CmdResponse& response);

// Blanks (character 32 only) off the left, right or both ends, in place.
void TrimLeftSpaces(std::string& text);
void TrimRightSpaces(std::string& text);
void TrimSpaces(std::string& text);
