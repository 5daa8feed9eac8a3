// The untyped owning list; see NList.h.
#include "map/NList.h"

#include <new>

void NList::Clear() {
  NListCell* cell = _head;
  _head = nullptr;
  _tail = nullptr;
  _count = 0;
  while (cell) {
    NListCell* next = cell->GetNext();
    _deleter(cell->GetData());
    delete cell;
    cell = next;
  }
}

NListCell* NList::NewCell(void* object, NListCell* next) {
  NListCell* cell = new (std::nothrow) NListCell(object, next);
  if (!cell) {
    _deleter(object);
    throw std::bad_alloc();
  }
  return cell;
}

void NList::AppendObject(void* object) {
  NListCell* cell = NewCell(object, nullptr);
  if (_tail) {
    _tail->SetNext(cell);
  } else {
    _head = cell;
  }
  _tail = cell;
  ++_count;
}

void NList::PrependObject(void* object) {
  _head = NewCell(object, _head);
  if (!_tail) _tail = _head;
  ++_count;
}

void* NList::ObjectAt(size_t index) const {
  NListCell* cell = _head;
  for (size_t i = 0; cell && i < index; ++i) cell = cell->GetNext();
  return cell ? cell->GetData() : nullptr;
}

void* NListIterator::NextObject() {
  if (!_cell) return nullptr;
  void* object = _cell->GetData();
  _cell = _cell->GetNext();
  return object;
}
