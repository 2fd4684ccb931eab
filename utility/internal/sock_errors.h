// errno values to the socket error numbers that base_sock reports.
#pragma once

namespace utility_internal {

// 0 stays 0; an errno without a counterpart is returned as it stands.
int MapSocketErrno(int error);

}  // namespace utility_internal
