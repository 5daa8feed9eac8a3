// Reply analyzers; see AnalyzeRegistData.h.
//
// A reply confirms something only through a well-formed RET field: a body
// without one (a bare "OK", an HTML error page) or with a RET that is not a
// number is a bad reply, never a success, because the callers act on success
// by registering a user or deleting the uploaded logs.
#include "AnalyzeRegistData.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Log.h"
#include "xString.h"

namespace {

// The body as the servers meant it: up to its length or its first NUL.
std::string BodyText(const char* body, size_t length) {
  return std::string(body, strnlen(body, length));
}

// A value without the line ends and blanks a server may leave behind it.
std::string TrimValueEnd(std::string value) {
  while (!value.empty()) {
    const char c = value.back();
    if (c != '\r' && c != '\n' && c != ' ' && c != '\t') break;
    value.pop_back();
  }
  return value;
}

// An optional sign and at least one digit of the base, and nothing else.
bool ParseNumber(const std::string& raw, int base, long* number) {
  const std::string text = TrimValueEnd(raw);
  size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t k = i; k < text.size(); ++k) {
    const unsigned char c = static_cast<unsigned char>(text[k]);
    const bool digit = base == 16 ? isxdigit(c) != 0 : (c >= '0' && c <= '9');
    if (!digit) return false;
  }
  *number = strtol(text.c_str(), nullptr, base);
  return true;
}

uint32_t CodeOfRet(long number) {
  return number == 0 ? reply::kOk : (reply::kServerError | static_cast<uint32_t>(number));
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, strlen(prefix), prefix) == 0;
}

// The number of a body that begins with "RET=", up to the end of that field.
bool BareRetNumber(const std::string& text, int base, long* number) {
  const size_t value = strlen("RET=");
  const size_t end = text.find('&', value);
  return ParseNumber(text.substr(value, end == std::string::npos ? end : end - value), base,
                     number);
}

struct Field {
  std::string key;
  std::string value;
};

std::vector<Field> SplitFields(const std::string& text) {
  std::vector<Field> fields;
  const int count = CountFields(text, '&');
  for (int i = 0; i < count; ++i) {
    std::string field;
    if (!SplitQuotedField(text, i, '&', &field)) break;
    const size_t equals = field.find('=');
    if (equals == std::string::npos) {
      fields.push_back({field, std::string()});
    } else {
      fields.push_back({field.substr(0, equals), TrimValueEnd(field.substr(equals + 1))});
    }
  }
  return fields;
}

// What a field-form analyzer does with the fields other than RET, and
// whether the walk found every value it must give back.
using OtherField = void (*)(const Field& field, void* outputs);
using Complete = bool (*)(const void* outputs);

struct FieldForm {
  size_t expected_fields;
  int bare_ret_base;       // how a bare "RET=n" of the wrong shape is read
  const char* log_prefix;  // in front of the error lines
  OtherField other;
  Complete complete;
};

uint32_t AnalyzeFieldForm(const std::string& text, const FieldForm& form, void* outputs) {
  const std::vector<Field> fields = SplitFields(text);
  if (fields.size() == form.expected_fields) {
    bool have_ret = false;
    uint32_t result = reply::kBadReply;
    for (const Field& field : fields) {
      if (StartsWith(field.key, "RET")) {
        long number = 0;
        have_ret = true;
        result = ParseNumber(field.value, 10, &number) ? CodeOfRet(number) : reply::kBadReply;
      } else if (form.other != nullptr) {
        form.other(field, outputs);
      }
    }
    if (!have_ret) OV_LOG(1, "%sサーバレスポンスエラー[SVRERR:%s]", form.log_prefix, text.c_str());
    if (form.complete != nullptr && !form.complete(outputs)) return reply::kBadReply;
    return result;
  }
  long number = 0;
  if (StartsWith(text, "RET=") && BareRetNumber(text, form.bare_ret_base, &number)) {
    OV_LOG(1, "%sサーバレスポンスエラー[SVRERR:%d]", form.log_prefix, static_cast<int>(number));
    return reply::kServerError | static_cast<uint32_t>(number);
  }
  OV_LOG(1, "%sサーバレスポンスエラー[SVRERR:%s]", form.log_prefix, text.c_str());
  return reply::kBadReply;
}

struct VersionOutputs {
  std::string* url;
  std::string* version;
};

void TakeVersionField(const Field& field, void* outputs) {
  auto* out = static_cast<VersionOutputs*>(outputs);
  if (StartsWith(field.key, "VER")) {
    *out->version = field.value;
  } else if (StartsWith(field.key, "URL")) {
    *out->url = field.value;
  }
}

bool HasVersionAndUrl(const void* outputs) {
  const auto* out = static_cast<const VersionOutputs*>(outputs);
  return !out->url->empty() && !out->version->empty();
}

void TakeValidField(const Field& field, void* outputs) {
  if (StartsWith(field.key, "VALID")) {
    *static_cast<bool*>(outputs) = _stricmp(field.value.c_str(), "TRUE") == 0;
  }
}

}  // namespace

uint32_t AnalyzeLogUploadResult(const char* body, size_t length) {
  if (body == nullptr || length == 0) return reply::kBadReply;
  const std::string text = BodyText(body, length);
  long number = 0;
  if (!StartsWith(text, "RET=") || !BareRetNumber(text, 10, &number)) return reply::kBadReply;
  return CodeOfRet(number);
}

uint32_t AnalyzeUserAuthentication(const char* body, size_t length) {
  if (body == nullptr || length == 0) return reply::kBadReply;
  static const FieldForm form = {1, 16, "", nullptr, nullptr};
  return AnalyzeFieldForm(BodyText(body, length), form, nullptr);
}

uint32_t AnalyzeLatestVersion(const char* body, size_t length, std::string* url,
                              std::string* version) {
  if (body == nullptr || length == 0) return reply::kBadReply;
  static const FieldForm form = {3, 10, "", &TakeVersionField, &HasVersionAndUrl};
  VersionOutputs outputs = {url, version};
  return AnalyzeFieldForm(BodyText(body, length), form, &outputs);
}

uint32_t AnalyzeLogUploadPermission(const char* body, size_t length, bool* permitted) {
  if (body == nullptr || length == 0) return reply::kBadReply;
  static const FieldForm form = {2, 10, "AnalyzeLogUploadPermission - ", &TakeValidField, nullptr};
  return AnalyzeFieldForm(BodyText(body, length), form, permitted);
}
