// The nested-image guard; see ConfImageChain.h.
#include "map/ConfImageChain.h"

#include <algorithm>

#include "Log.h"
#include "StringUtil.h"

bool CConfImageChain::Enter(const std::string& key) {
  const std::string upper = ToUpper(key);
  if (std::find(_chain.begin(), _chain.end(), upper) != _chain.end()) {
    OV_LOG(kLogError, "CConfImageChain::Enter - Conf循環参照 %s", key.c_str());
    return false;
  }
  if (_chain.size() >= kMaxDepth || _images >= kMaxImages) {
    OV_LOG(kLogError, "CConfImageChain::Enter - Conf入れ子上限超過[DEPTH:%u][COUNT:%u] %s",
           static_cast<unsigned>(_chain.size()), static_cast<unsigned>(_images), key.c_str());
    return false;
  }
  _chain.push_back(upper);
  ++_images;
  return true;
}

void CConfImageChain::Leave() {
  if (!_chain.empty()) _chain.pop_back();
}
