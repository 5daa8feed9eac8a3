// The guard of nested-image walks: loops, depth and fan-out.
#include <gtest/gtest.h>

#include <string>

#include "map/ConfImageChain.h"

TEST(ConfImageChain, RefusesAnImageAlreadyOnTheChain) {
  CConfImageChain chain;
  ASSERT_TRUE(chain.Enter("https://h/a.CNF"));
  ASSERT_TRUE(chain.Enter("https://h/b.CNF"));
  EXPECT_FALSE(chain.Enter("https://h/a.CNF"));
  EXPECT_FALSE(chain.Enter("HTTPS://H/A.cnf"));
  EXPECT_EQ(chain.GetDepth(), 2u);
  chain.Leave();
  // A sibling may name the same image again: it is no longer on the chain.
  EXPECT_TRUE(chain.Enter("https://h/b.CNF"));
  chain.Leave();
  chain.Leave();
  EXPECT_TRUE(chain.Enter("https://h/a.CNF"));
}

TEST(ConfImageChain, DepthIsBounded) {
  CConfImageChain chain;
  for (size_t i = 0; i < CConfImageChain::kMaxDepth; ++i) {
    ASSERT_TRUE(chain.Enter("image" + std::to_string(i)));
  }
  EXPECT_FALSE(chain.Enter("one-more"));
  chain.Leave();
  EXPECT_TRUE(chain.Enter("one-more"));
}

TEST(ConfImageChain, ImagesPerWalkAreBounded) {
  CConfImageChain chain;
  for (size_t i = 0; i < CConfImageChain::kMaxImages; ++i) {
    ASSERT_TRUE(chain.Enter("image" + std::to_string(i)));
    chain.Leave();
  }
  EXPECT_FALSE(chain.Enter("image-too-many"));
  EXPECT_EQ(chain.GetImageCount(), CConfImageChain::kMaxImages);
}

TEST(ConfImageChain, ScopeLeavesWhatItEntered) {
  CConfImageChain chain;
  {
    CConfImageChainScope outer(chain, "a");
    EXPECT_TRUE(outer.IsEntered());
    CConfImageChainScope loop(chain, "a");
    EXPECT_FALSE(loop.IsEntered());
    EXPECT_EQ(chain.GetDepth(), 1u);
  }
  EXPECT_EQ(chain.GetDepth(), 0u);
}
