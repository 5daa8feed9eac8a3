#include "MessageBoxCapture.h"

#include "MessageBox.h"
#include "StringUtil.h"

namespace ovtest {

namespace {
CMessageBoxCapture* g_capture = nullptr;
}

CMessageBoxCapture::CMessageBoxCapture(std::vector<int> answers)
    : _answers(answers.begin(), answers.end()) {
  g_capture = this;
  _previous = reinterpret_cast<void*>(lib::wfc::SetMessageBoxHandler(&Narrow));
  _previous_w = reinterpret_cast<void*>(lib::wfc::SetMessageBoxHandler(&Wide));
}

CMessageBoxCapture::~CMessageBoxCapture() {
  lib::wfc::SetMessageBoxHandler(reinterpret_cast<lib::wfc::MessageBoxHandler>(_previous));
  lib::wfc::SetMessageBoxHandler(reinterpret_cast<lib::wfc::MessageBoxHandlerW>(_previous_w));
  g_capture = nullptr;
}

void CMessageBoxCapture::Answer(int button) {
  std::lock_guard<std::mutex> lock(_mutex);
  _answers.push_back(button);
}

std::vector<CapturedBox> CMessageBoxCapture::Boxes() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _boxes;
}

int CMessageBoxCapture::Record(CapturedBox box) {
  std::lock_guard<std::mutex> lock(_mutex);
  _boxes.push_back(std::move(box));
  if (_answers.empty()) return IDOK;
  const int answer = _answers.front();
  _answers.pop_front();
  return answer;
}

int CMessageBoxCapture::Narrow(HWND owner, const char* text, const char* caption, UINT type) {
  return g_capture->Record(
      {owner, ToWide(text ? text : ""), ToWide(caption ? caption : ""), type, false});
}

int CMessageBoxCapture::Wide(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  return g_capture->Record({owner, text ? text : L"", caption ? caption : L"", type, true});
}

}  // namespace ovtest
