// HTTP digest authentication (MD5 and MD5-sess, qop "auth" or none), done by
// us because WinHTTP under Wine leaves a digest challenge unanswered: the
// client parses the server's challenge and adds the Authorization header
// itself. Pure functions apart from the random client nonce; any thread.
#pragma once

#include <string>

struct DigestChallenge {
  std::string realm;
  std::string nonce;
  std::string opaque;
  std::string algorithm;  // empty means MD5
  bool has_opaque = false;
  bool qop_auth = false;  // the server offers qop "auth"
  bool has_qop = false;
};

// Parses one WWW-Authenticate value. False unless it is a digest challenge
// with a nonce that we can answer (MD5 or MD5-sess; qop "auth" or none).
bool ParseDigestChallenge(const std::string& header_value, DigestChallenge* challenge);

// The Authorization header value ("Digest username=..., response=...") for
// one request; nc is the nonce count, cnonce the client nonce.
std::string BuildDigestAuthorization(const DigestChallenge& challenge, const std::string& user,
                                     const std::string& password, const std::string& method,
                                     const std::string& uri, unsigned long nc,
                                     const std::string& cnonce);

// Lower-case hexadecimal MD5 of the bytes; empty when the platform's hash fails.
std::string Md5Hex(const std::string& bytes);

// 16 hexadecimal digits from the system's random source.
std::string MakeClientNonce();
