// The worker of CWinHttpWrapper: sending, the digest answer, reading the
// reply into memory or a file. Runs on the transfer's own thread only.
#include <cwchar>
#include <new>

#include "Clock.h"
#include "DigestAuth.h"
#include "Log.h"
#include "OstrovelleLite/WholeFile.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

namespace {

// WinHTTP under Wine fills the whole buffer before it returns, so the size of
// one read bounds how late an abort is seen and how often progress is posted.
constexpr DWORD kChunkSize = 0x40000;
constexpr int kMaxEmptyReads = 10;
// Asking the run event is a trip to the Wine server, as dear as reading a
// few kilobytes: while the body streams in, it is asked this often.
constexpr DWORD kAbortAskMs = 20;
// The most a read of a body of known length asks for beyond what has come.
constexpr DWORD kPacedReadMax = 0x10000;

// Wine reports a time-out as the socket's error.
DWORD NormalizeError(DWORD error) { return error == WSAETIMEDOUT ? ERROR_WINHTTP_TIMEOUT : error; }

DWORD LastError() { return NormalizeError(GetLastError()); }

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
  }
  return out;
}

// A header as text, in two steps (size, then buffer); false when absent.
bool QueryHeaderText(HINTERNET request, DWORD info, DWORD index, std::wstring* text, DWORD* error) {
  DWORD size = 0;
  DWORD at = index;
  *error = 0;
  if (WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, &at) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return false;
  }
  std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
  at = index;
  if (!WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, &buffer[0], &size, &at)) {
    *error = GetLastError();
    return false;
  }
  buffer.resize(size / sizeof(wchar_t));
  *text = buffer;
  return true;
}

}  // namespace

void CWinHttpWrapper::ApplyCredentials() {
  if (_user.empty() || _password.empty()) return;
  WinHttpSetOption(_request.Get(), WINHTTP_OPTION_USERNAME, const_cast<wchar_t*>(_user.c_str()),
                   static_cast<DWORD>(_user.size()));
  WinHttpSetOption(_request.Get(), WINHTTP_OPTION_PASSWORD, const_cast<wchar_t*>(_password.c_str()),
                   static_cast<DWORD>(_password.size()));
}

DWORD CWinHttpWrapper::RunWorker() {
  const bool multipart = _worker_kind == kWorkerMultiPart;
  if (multipart) OV_LOG(kLogInfo, "CWinHttpWrapper::_UploadThreadMultiPart - _UploadThread 開始.");
  DWORD result = 0;
  if (_worker_kind == kWorkerGet && IsAborted()) {
    result = ERROR_REQUEST_ABORTED;
  } else {
    ApplyCredentials();
    result = SendRequest();
    if (result == 0) {
      result = _GetResponse();
      if (result != 0) {
        if (multipart) {
          OV_LOG(kLogTrace,
                 "CWinHttpWrapper::_UploadThreadMultiPart - _GetResponse 終了 終了コード%d.",
                 static_cast<int>(result));
        } else {
          OV_LOG(kLogTrace, "_GetResponse 終了 終了コード%d.", static_cast<int>(result));
        }
      } else if (!_file_name.empty() && _collect_in_memory) {
        result = SaveReplyToFile();
      }
    }
  }
  FinishTransfer(result);
  return result;
}

void CWinHttpWrapper::FinishTransfer(DWORD result) {
  if (_keep_session && result == 0) {
    _request.Reset();
    _file.Reset();
  } else {
    CloseHandles();
  }
  if (_worker_kind == kWorkerMultiPart) {
    OV_LOG(kLogInfo, "CWinHttpWrapper::_UploadThreadMultiPart - _UploadThread 終了 終了コード:%d.",
           static_cast<int>(result));
  } else if (result != 0) {
    OV_LOG(kLogTrace, "_UploadThread 終了 終了コード:%d.", static_cast<int>(result));
  }
  _result = result;
}

DWORD CWinHttpWrapper::SendRequest() {
  const wchar_t* headers = _headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : _headers.c_str();
  const DWORD headers_length = _headers.empty() ? 0 : static_cast<DWORD>(-1);
  const DWORD length = static_cast<DWORD>(_body.size());
  void* body = _body.empty() ? WINHTTP_NO_REQUEST_DATA : _body.data();
  if (_worker_kind != kWorkerMultiPart) {
    if (!WinHttpSendRequest(_request.Get(), headers, headers_length, body, length, length, 0)) {
      const DWORD error = LastError();
      OV_LOG(kLogError, "WinHttpSendRequest失敗[ERR:0x%08lX] %s", error, UrlForLog().c_str());
      return error;
    }
    return 0;
  }
  if (!WinHttpSendRequest(_request.Get(), headers, headers_length, WINHTTP_NO_REQUEST_DATA, 0,
                          length, 0)) {
    const DWORD error = LastError();
    OV_LOG(kLogError,
           "CWinHttpWrapper::_UploadThreadMultiPart - WinHttpSendRequest失敗[ERR:0x%08lX] %s",
           error, UrlForLog().c_str());
    return error;
  }
  DWORD sent = 0;
  while (sent < length) {
    DWORD written = 0;
    if (!WinHttpWriteData(_request.Get(), _body.data() + sent, length - sent, &written) ||
        written == 0) {
      const DWORD error = written == 0 && GetLastError() == 0 ? ERROR_WRITE_FAULT : LastError();
      OV_LOG(kLogError,
             "CWinHttpWrapper::_UploadThreadMultiPart - WinHttpWriteData失敗[ERR:0x%08lX] %s",
             error, UrlForLog().c_str());
      return error;
    }
    sent += written;
  }
  return 0;
}

DWORD CWinHttpWrapper::ReceiveResponse() {
  if (!WinHttpReceiveResponse(_request.Get(), nullptr)) {
    const DWORD error = LastError();
    OV_LOG(kLogError, "WinHttpReceiveResponse失敗[ERR:0x%08lX] %s", error, UrlForLog().c_str());
    return error;
  }
  if (!AnswerDigestChallenge()) return 0;
  if (const DWORD error = SendRequest()) return error;
  if (!WinHttpReceiveResponse(_request.Get(), nullptr)) {
    const DWORD error = LastError();
    OV_LOG(kLogError, "WinHttpReceiveResponse失敗[ERR:0x%08lX] %s", error, UrlForLog().c_str());
    return error;
  }
  return 0;
}

// A 401 with a digest challenge, on a request that carries credentials, is
// answered once: the Authorization header is added and the request is sent
// again on the same handle. True when the caller must send again.
bool CWinHttpWrapper::AnswerDigestChallenge() {
  if (_digest_answered || _user.empty() || _password.empty()) return false;
  DWORD status = 0;
  if (QueryStatus(&status) != 0 || status != 401) return false;
  DigestChallenge challenge;
  bool found = false;
  std::wstring value;
  DWORD error = 0;
  for (DWORD index = 0; !found && index < 16; ++index) {
    if (!QueryHeaderText(_request.Get(), WINHTTP_QUERY_WWW_AUTHENTICATE, index, &value, &error)) {
      break;
    }
    found = ParseDigestChallenge(ToMultiByte(value), &challenge);
  }
  if (!found) return false;
  _digest_answered = true;
  // The challenge's own body goes before the request is sent again.
  char drain[4096];
  DWORD read = 0;
  while (WinHttpReadData(_request.Get(), drain, sizeof(drain), &read) && read > 0) {
  }
  static const char* const kNarrowVerbs[] = {"GET", "POST", "HEAD"};
  const std::string header =
      BuildDigestAuthorization(challenge, ToUtf8(_user), ToUtf8(_password), kNarrowVerbs[_verb],
                               ToMultiByte(_path_and_query), 1, MakeClientNonce());
  const std::wstring line = L"Authorization: " + ToWide(header);
  return WinHttpAddRequestHeaders(_request.Get(), line.c_str(), static_cast<DWORD>(-1),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE) != FALSE;
}

DWORD CWinHttpWrapper::QueryStatus(DWORD* status) {
  std::wstring text;
  DWORD error = 0;
  *status = 0;
  if (QueryHeaderText(_request.Get(), WINHTTP_QUERY_STATUS_CODE, 0, &text, &error)) {
    *status = static_cast<DWORD>(wcstoul(text.c_str(), nullptr, 10));
  }
  return error;
}

DWORD CWinHttpWrapper::QueryContentLength(int64_t* length) {
  std::wstring text;
  DWORD error = 0;
  *length = -1;
  if (!QueryHeaderText(_request.Get(), WINHTTP_QUERY_CONTENT_LENGTH, 0, &text, &error)) {
    if (error != 0) {
      OV_LOG(kLogError, "WINHTTP_QUERY_CONTENT_LENGTH 失敗 0x%08lX", error);
      return error;
    }
    return 0;
  }
  wchar_t* end = nullptr;
  const unsigned long long value = wcstoull(text.c_str(), &end, 10);
  // A length that is not a number is no length: read to the end instead.
  if (end == text.c_str() || *end != L'\0' || value > 0x7FFFFFFFFFFFFFFFull) return 0;
  *length = static_cast<int64_t>(value);
  OV_LOG(kLogTrace, "WINHTTP_QUERY_CONTENT_LENGTH %lldBYTE", static_cast<long long>(*length));
  return 0;
}

DWORD CWinHttpWrapper::_GetResponse() {
  if (IsAborted()) return ERROR_REQUEST_ABORTED;
  if (const DWORD error = ReceiveResponse()) return error;
  if (IsAborted()) return ERROR_REQUEST_ABORTED;
  DWORD status = 0;
  QueryStatus(&status);
  int64_t content_length = -1;
  if (const DWORD error = QueryContentLength(&content_length)) return error;
  if (status < 200 || status >= 300) {
    OV_LOG(kLogError, "WinHttpQueryHeaders HTTPSTATUSエラー:%d  %s", static_cast<int>(status),
           UrlForLog().c_str());
    return status | kHttpStatusFlag;
  }
  // A reply to HEAD announces a length but carries no body.
  if (_verb == kHttpHead) content_length = 0;
  OV_LOG(kLogTrace, "実ファイルダウンロード開始 %s", UrlForLog().c_str());
  const DWORD result = ReadBody(content_length);
  OV_LOG(kLogTrace, "実ファイルダウンロード終了 総サイズ%llu",
         static_cast<unsigned long long>(_received));
  return result;
}

bool CWinHttpWrapper::AbortSeen(DWORD* last_asked) const {
  const DWORD now = GetTickCount();
  if (now - *last_asked < kAbortAskMs) return false;
  *last_asked = now;
  return IsAborted();
}

DWORD CWinHttpWrapper::ReadBody(int64_t content_length) {
  const bool known = content_length >= 0;
  std::vector<char> chunk;
  // Bytes read into the chunk and not yet handed to the sink: the sink
  // takes whole chunks, not each of the platform's small reads.
  size_t filled = 0;
  const auto flush = [&]() -> DWORD {
    if (filled == 0) return 0;
    const DWORD error = WriteToSink(chunk.data(), static_cast<DWORD>(filled));
    filled = 0;
    if (error) OV_LOG(kLogError, "WinHttpReadData失敗[ERR:0x%08lX]", error);
    return error;
  };
  // Whatever ends the reading, every byte received is in the sink: an
  // aborted download is resumed behind the bytes of its file.
  const auto end = [&flush](DWORD result) {
    const DWORD error = flush();
    return result ? result : error;
  };
  // The body's pace: what came of it over the time since it began (at
  // least kAbortAskMs, so that the bytes that came with the headers do not
  // make a trickle look fast).
  const double body_start = NowMs();
  uint64_t body_read = 0;
  double pace = 0;  // bytes per ms
  for (;;) {
    uint64_t round = 0;
    if (known) {
      round = static_cast<uint64_t>(content_length) - _received;
    } else {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(_request.Get(), &available)) {
        const DWORD error = LastError();
        OV_LOG(kLogError, "WinHttpQueryDataAvailable失敗[ERR:0x%08lX]", error);
        return end(error);
      }
      round = available;
    }
    if (IsAborted()) return end(ERROR_REQUEST_ABORTED);
    if (round == 0) return flush();
    DWORD last_asked = GetTickCount();
    int empty_reads = 0;
    while (round > 0) {
      if (AbortSeen(&last_asked)) return end(ERROR_REQUEST_ABORTED);
      const DWORD room = static_cast<DWORD>(kChunkSize - filled);
      DWORD want = static_cast<DWORD>(round < room ? round : room);
      if (known) {
        // A read waits for all it asks for: from a server that trickles the
        // body it would last until the receive time-out, deaf to an abort.
        // What has come is read, and what the body's pace brings in about
        // kAbortAskMs more (at most kPacedReadMax): a trickle is read as it
        // comes, the wait for more seeing the abort at each piece that
        // arrives, and a fast body in few large reads (one small read per
        // burst cost a tenth of a fast transfer under Wine). A body that
        // turns from fast to a trickle holds one read until that much has
        // come.
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(_request.Get(), &available)) {
          const DWORD error = LastError();
          OV_LOG(kLogError, "WinHttpQueryDataAvailable失敗[ERR:0x%08lX]", error);
          return end(error);
        }
        if (AbortSeen(&last_asked)) return end(ERROR_REQUEST_ABORTED);
        if (available > 0 && available < want) {
          const double more = pace * kAbortAskMs;
          const DWORD paced =
              available + (more < kPacedReadMax ? static_cast<DWORD>(more) : kPacedReadMax);
          if (paced < want) want = paced;
        }
      }
      // One buffer for the transfer: a fresh 4 MiB per read would cost more
      // than the reading itself.
      if (chunk.size() < filled + want) {
        try {
          chunk.resize(filled + want);
        } catch (const std::bad_alloc&) {
          OV_LOG(kLogError, "領域確保失敗[ERR:0x%08lX]",
                 static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
          return end(ERROR_NOT_ENOUGH_MEMORY);
        }
      }
      DWORD read = 0;
      if (!WinHttpReadData(_request.Get(), chunk.data() + filled, want, &read)) {
        const DWORD error = LastError();
        OV_LOG(kLogError, "WinHttpReadData失敗[ERR:0x%08lX]", error);
        return end(error);
      }
      if (read == 0) {
        if (++empty_reads > kMaxEmptyReads) {
          OV_LOG(kLogError, "WinHttpReadData 取得サイズリトライオーバー [ERR:0x%08lX]",
                 GetLastError());
          return end(ERROR_WINHTTP_TIMEOUT);
        }
        OV_LOG(kLogInfo, "WinHttpReadData 取得サイズ０ 継続 [ERR:0x%08lX]", GetLastError());
        Sleep(_empty_read_pause_ms);
        continue;
      }
      body_read += read;
      const double spent = NowMs() - body_start;
      pace = static_cast<double>(body_read) / (spent > kAbortAskMs ? spent : kAbortAskMs);
      filled += read;
      if (filled == kChunkSize) {
        if (const DWORD error = flush()) return error;
      }
      _received += read;
      round -= read;
      if (_progress_window) {
        PostMessageA(_progress_window, _progress_message, 0, static_cast<LPARAM>(read));
      }
    }
    if (known) return flush();
  }
}

DWORD CWinHttpWrapper::WriteToSink(const char* data, DWORD size) {
  if (_file_name.empty() || _collect_in_memory) {
    try {
      _reply.insert(_reply.end(), data, data + size);
    } catch (const std::bad_alloc&) {
      OV_LOG(kLogError, "領域確保失敗[ERR:0x%08lX]", static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
  }
  if (!_file) {
    // Appending: a resumed download goes on where the partial file ends.
    _file.Reset(CreateFileA(_file_name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr));
    if (!_file) {
      const DWORD error = GetLastError();
      OV_LOG(kLogError, "ダウンロードデータ書込み時のファイルオープン失敗[ERR:0x%08lX].%s", error,
             _file_name.c_str());
      return error;
    }
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(_file.Get(), zero, nullptr, FILE_END)) {
      const DWORD error = GetLastError();
      OV_LOG(kLogError, "ダウンロードデータ書込みファイルポインタ移動失敗[ERR:0x%08lX", error);
      _file.Reset();
      return error;
    }
  }
  DWORD written = 0;
  if (!WriteFile(_file.Get(), data, size, &written, nullptr) || written != size) {
    DWORD error = GetLastError();
    if (error == 0) error = ERROR_WRITE_FAULT;
    OV_LOG(kLogError, "ダウンロードデータ書込み失敗[ERR:0x%08lX]", error);
    return error;
  }
  if (_file_tap) _file_tap(data, size);
  return 0;
}

// The whole reply goes to a temporary file beside the target, which then
// replaces the target: a failed save leaves no half-written file.
DWORD CWinHttpWrapper::SaveReplyToFile() {
  if (_reply.empty()) {
    OV_LOG(kLogError, "ファイル書込み時のデータエラー 0x%p, 0x%08lX, %s",
           static_cast<const void*>(_reply.data()), static_cast<DWORD>(_reply.size()),
           _file_name.c_str());
    return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
  }
  CReplaceFileWriter writer(_file_name, FILE_ATTRIBUTE_NORMAL);
  if (!writer.Open()) {
    OV_LOG(kLogError, "ダウンロードデータ書込み時のファイルオープン失敗[ERR:0x%08lX].%s",
           writer.Error(), _file_name.c_str());
    return writer.Error();
  }
  if (!writer.Write(_reply.data(), _reply.size()) || !writer.Commit()) {
    OV_LOG(kLogError, "ダウンロードデータ書込み失敗[ERR:0x%08lX", writer.Error());
    return writer.Error();
  }
  return 0;
}
