// Byte streams for the XML reader: the interface and a reader over a memory
// block. A stream belongs to the one thread that reads it.
#pragma once

#include <cstddef>

class RNW_Stream {
 public:
  RNW_Stream() = default;
  virtual ~RNW_Stream() = default;
  RNW_Stream(const RNW_Stream&) = delete;
  RNW_Stream& operator=(const RNW_Stream&) = delete;

  // 1 and the byte when one was read, 0 at the end.
  virtual int ReadByte(char* c) = 0;
  // Steps back over the byte read last.
  virtual void Unread() = 0;
  virtual bool IsEnd() const = 0;
};

class RNW_MemStream final : public RNW_Stream {
 public:
  // The block is borrowed and must outlive the stream.
  RNW_MemStream(const void* start, size_t length)
      : _start(static_cast<const char*>(start)), _length(start ? length : 0) {}
  ~RNW_MemStream() override = default;

  int ReadByte(char* c) override {
    if (_position >= _length) return 0;
    *c = _start[_position++];
    return 1;
  }
  void Unread() override {
    if (_position > 0) --_position;
  }
  bool IsEnd() const override { return _position >= _length; }
  size_t GetPosition() const { return _position; }

 private:
  const char* _start;  // not owned
  size_t _length;
  size_t _position = 0;
};
