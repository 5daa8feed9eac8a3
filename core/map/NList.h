// Lists that own their objects, kept in a vector so that index access is
// direct (an image's files name their paths by index, and server input can
// carry thousands of both). NTypedListIterator is the "next object" cursor
// the image classes keep. A list and its iterators belong to one thread at
// a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

template <typename T>
class NTypedList {
 public:
  NTypedList() = default;
  ~NTypedList() = default;
  NTypedList(const NTypedList&) = delete;
  NTypedList& operator=(const NTypedList&) = delete;

  // The list takes the object; when memory is short it is deleted and
  // std::bad_alloc thrown.
  void Append(std::unique_ptr<T> object) { _objects.push_back(std::move(object)); }
  void Reverse() { std::reverse(_objects.begin(), _objects.end()); }
  // Deletes every object.
  void Clear() { _objects.clear(); }
  size_t GetCount() const { return _objects.size(); }
  bool IsEmpty() const { return _objects.empty(); }
  // Null past the end.
  T* GetAt(size_t index) const { return index < _objects.size() ? _objects[index].get() : nullptr; }

  // Read-only walking for range-for loops.
  class ConstIterator final {
   public:
    using Base = typename std::vector<std::unique_ptr<T>>::const_iterator;
    explicit ConstIterator(Base at) : _at(at) {}
    const T& operator*() const { return **_at; }
    ConstIterator& operator++() {
      ++_at;
      return *this;
    }
    bool operator!=(const ConstIterator& other) const { return _at != other._at; }

   private:
    Base _at;
  };
  ConstIterator begin() const { return ConstIterator(_objects.begin()); }
  ConstIterator end() const { return ConstIterator(_objects.end()); }

 private:
  std::vector<std::unique_ptr<T>> _objects;
};

template <typename T>
class NTypedListIterator {
 public:
  explicit NTypedListIterator(const NTypedList<T>& list) : _list(list) {}  // not owned
  ~NTypedListIterator() = default;
  NTypedListIterator(const NTypedListIterator&) = delete;
  NTypedListIterator& operator=(const NTypedListIterator&) = delete;

  void Reset() { _next = 0; }
  bool HasNext() const { return _next < _list.GetCount(); }
  // The object under the iterator, then one step on; null at the end.
  T* Next() { return HasNext() ? _list.GetAt(_next++) : nullptr; }

 private:
  const NTypedList<T>& _list;
  size_t _next = 0;
};
