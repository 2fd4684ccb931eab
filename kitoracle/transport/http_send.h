// The two HTTP clients of the library, over libcurl's easy interface:
// CHttpSend posts one search request to the search service when UDP is not
// usable, and HttpPickHeader asks a download server for the headers of a
// resource URL (following redirects) to learn the resource's file name.
//
// Every HTTP body, both ways, starts with the 11-byte package header: 0, a
// pseudo-random number (4 bytes, little-endian), 1, five zeros. The reply's
// header is skipped unread.
//
// Threading: libcurl's global state is set up once per process and never
// torn down per request, so other threads' transfers are never disturbed.
// HttpSendTo runs under the search lock, which also guards the cached
// header values; Pick may run on any thread.
#ifndef KITORACLE_TRANSPORT_HTTP_SEND_H_
#define KITORACLE_TRANSPORT_HTTP_SEND_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kitoracle {

constexpr size_t kPackageHeaderSize = 11;

// The package header with the given random number.
void MakePackageHeader(uint32_t random, uint8_t* out);

// What the POST sends: the package header and the request, handed to
// libcurl in pieces of at most 1024 bytes.
struct SendState {
  std::vector<uint8_t> body;
  size_t offset = 0;
  size_t Take(uint8_t* out, size_t room);
};

// What the reply fills: the first 11 bytes of the body, however libcurl
// cuts them into chunks, are skipped; the rest is stored. A body of more
// than `capacity` bytes (header included) aborts the transfer.
struct ReceiveState {
  uint8_t* buffer = nullptr;
  size_t capacity = 4096;  // body bytes allowed, header included
  size_t received = 0;     // body bytes seen, header included
  // Returns n, or 0 to abort.
  size_t Accept(const uint8_t* data, size_t n);
  // Reply bytes stored (after the header); 0 while the header is incomplete.
  size_t Stored() const { return received > kPackageHeaderSize ? received - kPackageHeaderSize : 0; }
};

// The five header lines, in order: Content-Length, ServerID, UnionID,
// HOSTMARK, ClientVersion.
std::vector<std::string> BuildHtmlHeaderLines(uint8_t service, size_t bodyLength, uint32_t unionId,
                                              const std::string& hostmark, uint64_t clientVersion);

class CHttpSend {
 public:
  // Posts request[length] for `service`; the reply (without its header)
  // goes to reply[4085 at most]. Returns its length; -1 when the transfer
  // could not be set up, -2 when it failed.
  static int HttpSendTo(uint8_t service, const uint8_t* request, size_t length, uint8_t* reply, int timeoutSeconds);
  // The 16-byte machine identity from libHostmark.so beside this library.
  static bool GetHOSTMARK(uint8_t* identity);
};

// Makes libcurl's global state ready, once per process.
bool CurlGlobalReady();

class HttpPickHeader {
 public:
  explicit HttpPickHeader(std::string url) : url_(std::move(url)) {}
  bool Pick();
  bool GetResFileName(std::string* name) const;
  const std::string& headers() const { return headers_; }

 private:
  std::string url_;
  std::string headers_;
};

// The resource's file name from the collected headers of a redirect chain
// and the requested URL: the filename of the first Content-Disposition, else
// the last part of the last Location, else of the URL. Header names match
// without regard to case; quotes, parameters, query and fragment are
// stripped and only the base name is kept. Pure; empty when none is found.
std::string ResourceFileName(const std::string& headers, const std::string& url);

}  // namespace kitoracle

#endif  // KITORACLE_TRANSPORT_HTTP_SEND_H_
