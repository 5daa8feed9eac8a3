// Turns the text bodies of the servers' replies into result codes: the log
// upload's permission check and upload, the user authentication and the
// latest-version inquiry. Pure functions, callable from any thread; the only
// side effect is an error line in the program's log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace reply {
// Result codes shared by the four analyzers.
constexpr uint32_t kOk = 0;
constexpr uint32_t kServerError = 0x80000000u;  // or-ed with the server's RET
constexpr uint32_t kBadReply = 0xFFF;           // no data, wrong shape, missing value
}  // namespace reply

// "RET=n" from the log upload.
uint32_t AnalyzeLogUploadResult(const char* body, size_t length);
// "RET=n" from the user authentication of the first registration.
uint32_t AnalyzeUserAuthentication(const char* body, size_t length);
// "RET=n&VER=x&URL=y" from the latest-version inquiry. url and version are
// set only from the reply's fields (callers pass them empty).
uint32_t AnalyzeLatestVersion(const char* body, size_t length, std::string* url,
                              std::string* version);
// "RET=n&VALID=TRUE|FALSE" from the log upload's permission check.
uint32_t AnalyzeLogUploadPermission(const char* body, size_t length, bool* permitted);
