// Singly linked lists that own their objects, with forward iterators. The
// untyped base keeps the cells; NTypedList and NTypedListIterator put a type
// on top, and the image classes derive their named lists from those.
// A list and its iterators belong to one thread at a time.
#pragma once

#include <cstddef>
#include <memory>

class NListCell final {
 public:
  NListCell(void* object, NListCell* next) : _object(object), _next(next) {}
  ~NListCell() = default;
  NListCell(const NListCell&) = delete;
  NListCell& operator=(const NListCell&) = delete;

  void* GetData() const { return _object; }
  NListCell* GetNext() const { return _next; }
  void SetNext(NListCell* next) { _next = next; }

 private:
  void* _object;  // owned by the list, deleted through its deleter
  NListCell* _next;
};

class NList {
 public:
  using Deleter = void (*)(void*);

  explicit NList(Deleter deleter) : _deleter(deleter) {}
  virtual ~NList() { Clear(); }
  NList(const NList&) = delete;
  NList& operator=(const NList&) = delete;

  // Deletes every object and cell.
  void Clear();
  size_t GetCount() const { return _count; }
  bool IsEmpty() const { return _count == 0; }
  NListCell* GetHead() const { return _head; }

 protected:
  // The list takes the object; on an allocation failure it deletes it and
  // throws std::bad_alloc.
  void AppendObject(void* object);
  void PrependObject(void* object);
  void* ObjectAt(size_t index) const;

 private:
  NListCell* NewCell(void* object, NListCell* next);

  Deleter _deleter;
  NListCell* _head = nullptr;
  NListCell* _tail = nullptr;
  size_t _count = 0;
};

class NListIterator {
 public:
  explicit NListIterator(const NList& list) : _list(list), _cell(list.GetHead()) {}
  virtual ~NListIterator() = default;
  NListIterator(const NListIterator&) = delete;
  NListIterator& operator=(const NListIterator&) = delete;

  void Reset() { _cell = _list.GetHead(); }
  bool HasNext() const { return _cell != nullptr; }

 protected:
  // The object under the iterator, then one step on; null at the end.
  void* NextObject();

 private:
  const NList& _list;  // not owned
  NListCell* _cell;
};

template <typename T>
class NTypedList : public NList {
 public:
  NTypedList() : NList(&DeleteObject) {}
  ~NTypedList() override = default;

  void Append(std::unique_ptr<T> object) { AppendObject(object.release()); }
  void Prepend(std::unique_ptr<T> object) { PrependObject(object.release()); }
  T* GetAt(size_t index) const { return static_cast<T*>(ObjectAt(index)); }

  // Read-only walking for range-for loops.
  class ConstIterator final {
   public:
    explicit ConstIterator(const NListCell* cell) : _cell(cell) {}
    const T& operator*() const { return *static_cast<const T*>(_cell->GetData()); }
    ConstIterator& operator++() {
      _cell = _cell->GetNext();
      return *this;
    }
    bool operator!=(const ConstIterator& other) const { return _cell != other._cell; }

   private:
    const NListCell* _cell;
  };
  ConstIterator begin() const { return ConstIterator(GetHead()); }
  ConstIterator end() const { return ConstIterator(nullptr); }

 private:
  static void DeleteObject(void* object) { delete static_cast<T*>(object); }
};

template <typename T>
class NTypedListIterator : public NListIterator {
 public:
  explicit NTypedListIterator(const NTypedList<T>& list) : NListIterator(list) {}
  ~NTypedListIterator() override = default;

  T* Next() { return static_cast<T*>(NextObject()); }
};
