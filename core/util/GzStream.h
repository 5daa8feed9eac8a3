// Owner of one zlib gzip stream. Closing a written stream writes its last
// block and trailer, so the close can fail: Close() gives gzclose's status
// for the path that needs it, and the destructor closes whatever is still
// open (the failure paths, whose status nobody reads).
#pragma once

#include <zlib.h>

#include <utility>

class CGzStream final {
 public:
  CGzStream() = default;
  explicit CGzStream(gzFile stream) : _stream(stream) {}
  ~CGzStream() { Close(); }
  CGzStream(const CGzStream&) = delete;
  CGzStream& operator=(const CGzStream&) = delete;
  CGzStream(CGzStream&& o) noexcept : _stream(std::exchange(o._stream, nullptr)) {}
  CGzStream& operator=(CGzStream&& o) noexcept {
    if (this != &o) {
      Close();
      _stream = std::exchange(o._stream, nullptr);
    }
    return *this;
  }

  gzFile Get() const { return _stream; }
  explicit operator bool() const { return _stream != nullptr; }

  // gzclose's status (Z_OK, Z_ERRNO, Z_BUF_ERROR, ...); an empty owner
  // answers Z_STREAM_ERROR, as gzclose does for no stream.
  int Close() {
    if (!_stream) return Z_STREAM_ERROR;
    return gzclose(std::exchange(_stream, nullptr));
  }

 private:
  gzFile _stream = nullptr;
};
