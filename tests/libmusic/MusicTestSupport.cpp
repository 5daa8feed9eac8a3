// libmusic test helpers; see MusicTestSupport.h.
#include "MusicTestSupport.h"

#include "Log.h"
#include "StringUtil.h"

namespace musictest {

std::string GeneratedMedia(const std::string& name) {
  return ovtest::ReadFileOrEmpty(ovtest::ExecutableFolder() + "media\\" + name);
}

std::wstring WriteMedia(const ovtest::CTempDir& dir, const std::string& name,
                        const std::string& bytes) {
  ovtest::WriteFileBytes(dir.File(name), bytes);
  return ToWide(dir.File(name));
}

CLogCapture::CLogCapture() : _path(_dir.File("music.log")) {
  logtest::Reset();
  CBroxLogWrapper(__FILE__, __LINE__).Open(_path.c_str(), 512);
}

CLogCapture::~CLogCapture() { logtest::Reset(); }

std::string CLogCapture::Text() const { return ovtest::ReadFileOrEmpty(_path); }

}  // namespace musictest
