// A second thread of a test that is joined whatever happens: an assertion
// that returns early must neither end the process (a joinable std::thread
// destroyed) nor leave the thread waiting for ever.
#pragma once

#include <functional>
#include <thread>
#include <utility>

namespace ovtest {

class CTestThread final {
 public:
  // unblock (may be empty) lets a body that waits for the test go on; the
  // destructor calls it before it joins. It must be safe to call twice.
  explicit CTestThread(std::function<void()> body, std::function<void()> unblock = nullptr)
      : _unblock(std::move(unblock)), _thread(std::move(body)) {}
  ~CTestThread() {
    if (!_thread.joinable()) return;
    if (_unblock) _unblock();
    _thread.join();
  }
  CTestThread(const CTestThread&) = delete;
  CTestThread& operator=(const CTestThread&) = delete;

  void Join() {
    if (_thread.joinable()) _thread.join();
  }

 private:
  std::function<void()> _unblock;
  std::thread _thread;
};

}  // namespace ovtest
