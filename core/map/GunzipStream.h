// Unpacks gzip data handed over in runs of any size, the way zlib's gzip
// file reader unpacks a file: one or more gzip members one after another,
// bytes after a member that do not begin another one ignored, and input
// that does not begin as gzip passed on as it is. A member cut short fails
// with zlib's Z_BUF_ERROR ("unexpected end of file"), damaged data with
// zlib's number and message. The rebuild of map data feeds it the pieces as
// it reads them, so that no joined file is written before the unpacking.
//
// Threads: one object per stream, used by one thread.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CGunzipStream final {
 public:
  // Receives the unpacked bytes in order; false stops the unpacking.
  using Sink = std::function<bool(const char* data, size_t size)>;

  explicit CGunzipStream(Sink sink);
  ~CGunzipStream();
  CGunzipStream(const CGunzipStream&) = delete;
  CGunzipStream& operator=(const CGunzipStream&) = delete;

  // The next run of input. False when the data is damaged (Error()), memory
  // is short, or the sink refused (SinkRefused()); later calls then fail.
  bool Feed(const char* data, size_t size);
  // The end of the input: false when a member was cut short.
  bool Finish();
  // Back to the start of a new stream, for another try.
  void Restart();

  // zlib's error number (Z_OK while none) and its message.
  int Error() const { return _error; }
  const std::string& Message() const { return _message; }
  bool SinkRefused() const { return _sink_refused; }

 private:
  enum State { kLook, kMember, kCopy, kIgnore, kFailed };

  bool Fail(int error, const char* message);
  bool Emit(const char* data, size_t size);
  // Starts a member whose first bytes are to come.
  bool StartMember();
  // Inflates the input; on the member's end leaves the rest in *data.
  bool Inflate(const char** data, size_t* size);

  Sink _sink;
  State _state = kLook;
  bool _after_member = false;  // a member ended: what follows is no plain data
  char _first = 0;             // the first byte while only one has come
  bool _has_first = false;
  std::unique_ptr<z_stream> _stream;  // set up on the first member
  std::vector<char> _out;
  int _error = Z_OK;
  std::string _message;
  bool _sink_refused = false;
};
