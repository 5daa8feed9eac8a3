// The guard for walks over nested configuration images: an image may name
// further images, and a server could name them in a loop or fan them out
// without end. A walk enters each image before it reads it and leaves it
// afterwards; the guard refuses an image already on the current chain, a
// chain deeper than kMaxDepth and more than kMaxImages images in one walk.
// One guard per walk, on the walk's thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CConfImageChain final {
 public:
  static constexpr size_t kMaxDepth = 16;
  static constexpr size_t kMaxImages = 4096;

  CConfImageChain() = default;
  ~CConfImageChain() = default;
  CConfImageChain(const CConfImageChain&) = delete;
  CConfImageChain& operator=(const CConfImageChain&) = delete;

  // False (nothing entered) when the image may not be read. The key is the
  // image's normalised URL or local path; keys compare case-insensitively,
  // as the local file system does.
  bool Enter(const std::string& key);
  // Leaves the image entered last.
  void Leave();
  size_t GetDepth() const { return _chain.size(); }
  size_t GetImageCount() const { return _images; }

 private:
  std::vector<std::string> _chain;  // upper-cased keys
  size_t _images = 0;
};

// Enters an image for one scope.
class CConfImageChainScope final {
 public:
  CConfImageChainScope(CConfImageChain& chain, const std::string& key)
      : _chain(chain), _entered(chain.Enter(key)) {}
  ~CConfImageChainScope() {
    if (_entered) _chain.Leave();
  }
  CConfImageChainScope(const CConfImageChainScope&) = delete;
  CConfImageChainScope& operator=(const CConfImageChainScope&) = delete;

  bool IsEntered() const { return _entered; }

 private:
  CConfImageChain& _chain;  // not owned
  bool _entered;
};
