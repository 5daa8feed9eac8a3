// Unpacking gzip data in runs; see GunzipStream.h.
#include "map/GunzipStream.h"

#include <new>
#include <utility>

namespace {

// Unpacked bytes go to the sink in runs of this size at most.
constexpr size_t kOutSize = 1 << 20;
// zlib counts its input in 32 bits.
constexpr size_t kMaxRun = 1 << 30;
// gzip's first two bytes.
constexpr unsigned char kMagic0 = 0x1F;
constexpr unsigned char kMagic1 = 0x8B;
// A window of 32 KiB, gzip framing only.
constexpr int kGzipWindowBits = 15 + 16;

}  // namespace

CGunzipStream::CGunzipStream(Sink sink) : _sink(std::move(sink)) {}

CGunzipStream::~CGunzipStream() {
  if (_stream) inflateEnd(_stream.get());
}

void CGunzipStream::Restart() {
  _state = kLook;
  _after_member = false;
  _has_first = false;
  _error = Z_OK;
  _message.clear();
  _sink_refused = false;
}

bool CGunzipStream::Fail(int error, const char* message) {
  _state = kFailed;
  _error = error;
  _message = message ? message : "";
  return false;
}

bool CGunzipStream::Emit(const char* data, size_t size) {
  if (size == 0 || _sink(data, size)) return true;
  _sink_refused = true;
  _state = kFailed;
  return false;
}

bool CGunzipStream::StartMember() {
  if (_out.empty()) {
    try {
      _out.resize(kOutSize);
    } catch (const std::bad_alloc&) {
      return Fail(Z_MEM_ERROR, "out of memory");
    }
  }
  if (!_stream) {
    std::unique_ptr<z_stream> stream(new (std::nothrow) z_stream());
    if (!stream) return Fail(Z_MEM_ERROR, "out of memory");
    const int result = inflateInit2(stream.get(), kGzipWindowBits);
    if (result != Z_OK) return Fail(result, stream->msg ? stream->msg : "out of memory");
    _stream = std::move(stream);
  } else if (inflateReset(_stream.get()) != Z_OK) {
    return Fail(Z_STREAM_ERROR, "internal error: inflate stream corrupt");
  }
  _state = kMember;
  return true;
}

bool CGunzipStream::Inflate(const char** data, size_t* size) {
  z_stream& s = *_stream;
  const size_t run = *size < kMaxRun ? *size : kMaxRun;
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(*data));
  s.avail_in = static_cast<uInt>(run);
  for (;;) {
    s.next_out = reinterpret_cast<Bytef*>(_out.data());
    s.avail_out = static_cast<uInt>(_out.size());
    const int result = inflate(&s, Z_NO_FLUSH);
    if (!Emit(_out.data(), _out.size() - s.avail_out)) return false;
    if (result == Z_STREAM_END) {
      _after_member = true;
      _state = kLook;
      break;
    }
    if (result == Z_DATA_ERROR) {
      return Fail(Z_DATA_ERROR, s.msg ? s.msg : "compressed data error");
    }
    if (result == Z_MEM_ERROR) return Fail(Z_MEM_ERROR, "out of memory");
    if (result != Z_OK && result != Z_BUF_ERROR) {
      return Fail(Z_STREAM_ERROR, "internal error: inflate stream corrupt");
    }
    // All input taken and room left over: the member goes on in the next run.
    if (s.avail_in == 0 && s.avail_out != 0) break;
    if (result == Z_BUF_ERROR && s.avail_out != 0) {
      return Fail(Z_STREAM_ERROR, "internal error: inflate stream corrupt");
    }
  }
  const size_t taken = run - s.avail_in;
  *data += taken;
  *size -= taken;
  return true;
}

bool CGunzipStream::Feed(const char* data, size_t size) {
  while (size > 0) {
    switch (_state) {
      case kFailed:
        return false;
      case kIgnore:
        return true;
      case kCopy:
        return Emit(data, size);
      case kMember:
        if (!Inflate(&data, &size)) return false;
        break;
      case kLook: {
        // Two bytes decide, as the gzip reader decides: gzip, plain data
        // (at the start) or what follows the last member (ignored).
        if (!_has_first) {
          _first = *data++;
          --size;
          _has_first = true;
          break;
        }
        _has_first = false;
        const char first = _first;
        if (static_cast<unsigned char>(first) == kMagic0 &&
            static_cast<unsigned char>(*data) == kMagic1) {
          const char* head = &first;
          size_t one = 1;
          if (!StartMember() || !Inflate(&head, &one)) return false;
        } else if (_after_member) {
          _state = kIgnore;
          return true;
        } else {
          _state = kCopy;
          if (!Emit(&first, 1)) return false;
        }
        break;
      }
    }
  }
  return _state != kFailed;
}

bool CGunzipStream::Finish() {
  switch (_state) {
    case kFailed:
      return false;
    case kMember:
      return Fail(Z_BUF_ERROR, "unexpected end of file");
    case kLook:
      // A single byte at the start is plain data; after a member it is not.
      if (_has_first) {
        _has_first = false;
        if (!_after_member) {
          _state = kCopy;
          return Emit(&_first, 1);
        }
      }
      return true;
    case kCopy:
    case kIgnore:
      return true;
  }
  return true;
}
