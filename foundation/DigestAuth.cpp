// Digest authentication; see DigestAuth.h.
#include "DigestAuth.h"

#include <cctype>
#include <map>

#include "OvWindows.h"
#include "StringUtil.h"

namespace {

struct CryptProvider final {
  HCRYPTPROV handle = 0;
  CryptProvider() {
    if (!CryptAcquireContextA(&handle, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
      handle = 0;
    }
  }
  ~CryptProvider() {
    if (handle) CryptReleaseContext(handle, 0);
  }
  CryptProvider(const CryptProvider&) = delete;
  CryptProvider& operator=(const CryptProvider&) = delete;
};

std::string Hex(const BYTE* bytes, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0xF];
  }
  return out;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// name=value and name="quoted value" pairs separated by commas.
std::map<std::string, std::string> ParseParameters(const std::string& text) {
  std::map<std::string, std::string> params;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t')) ++i;
    const size_t equals = text.find('=', i);
    if (equals == std::string::npos) break;
    const std::string name = Lower(TrimString(text.substr(i, equals - i)));
    i = equals + 1;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string value;
    if (i < text.size() && text[i] == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        value += text[i];
      }
      ++i;
    } else {
      const size_t comma = text.find(',', i);
      const size_t end = comma == std::string::npos ? text.size() : comma;
      value = TrimString(text.substr(i, end - i));
      i = end;
    }
    params[name] = value;
  }
  return params;
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
  CryptProvider provider;
  if (!provider.handle) return std::string();
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash(provider.handle, CALG_MD5, 0, 0, &hash)) return std::string();
  BYTE digest[16];
  DWORD size = sizeof(digest);
  const bool ok = CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size()), 0) &&
                  CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == sizeof(digest);
  CryptDestroyHash(hash);
  return ok ? Hex(digest, sizeof(digest)) : std::string();
}

std::string MakeClientNonce() {
  CryptProvider provider;
  BYTE random[8] = {};
  if (provider.handle) CryptGenRandom(provider.handle, sizeof(random), random);
  return Hex(random, sizeof(random));
}

bool ParseDigestChallenge(const std::string& header_value, DigestChallenge* challenge) {
  const std::string value = TrimString(header_value);
  if (value.size() < 7 || Lower(value.substr(0, 7)) != "digest ") return false;
  const auto params = ParseParameters(value.substr(7));
  DigestChallenge c;
  const auto get = [&params](const char* name, std::string* out) {
    const auto it = params.find(name);
    if (it == params.end()) return false;
    *out = it->second;
    return true;
  };
  get("realm", &c.realm);
  if (!get("nonce", &c.nonce) || c.nonce.empty()) return false;
  c.has_opaque = get("opaque", &c.opaque);
  get("algorithm", &c.algorithm);
  const std::string algorithm = Lower(c.algorithm);
  if (!algorithm.empty() && algorithm != "md5" && algorithm != "md5-sess") return false;
  std::string qop;
  c.has_qop = get("qop", &qop);
  for (const std::string& option : SplitString(qop, ",")) {
    if (Lower(TrimString(option)) == "auth") c.qop_auth = true;
  }
  // A server that only offers integrity protection cannot be answered here.
  if (c.has_qop && !c.qop_auth) return false;
  *challenge = c;
  return true;
}

std::string BuildDigestAuthorization(const DigestChallenge& challenge, const std::string& user,
                                     const std::string& password, const std::string& method,
                                     const std::string& uri, unsigned long nc,
                                     const std::string& cnonce) {
  const std::string nc_text = FormatString("%08lx", nc);
  std::string ha1 = Md5Hex(user + ":" + challenge.realm + ":" + password);
  if (Lower(challenge.algorithm) == "md5-sess") {
    ha1 = Md5Hex(ha1 + ":" + challenge.nonce + ":" + cnonce);
  }
  const std::string ha2 = Md5Hex(method + ":" + uri);
  const std::string response =
      challenge.qop_auth
          ? Md5Hex(ha1 + ":" + challenge.nonce + ":" + nc_text + ":" + cnonce + ":auth:" + ha2)
          : Md5Hex(ha1 + ":" + challenge.nonce + ":" + ha2);
  std::string header = "Digest username=\"" + user + "\", realm=\"" + challenge.realm +
                       "\", nonce=\"" + challenge.nonce + "\", uri=\"" + uri + "\"";
  if (!challenge.algorithm.empty()) header += ", algorithm=" + challenge.algorithm;
  if (challenge.qop_auth) header += ", qop=auth, nc=" + nc_text + ", cnonce=\"" + cnonce + "\"";
  header += ", response=\"" + response + "\"";
  if (challenge.has_opaque) header += ", opaque=\"" + challenge.opaque + "\"";
  return header;
}
