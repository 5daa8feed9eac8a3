// Digest authentication: the published example, MD5 vectors, challenge parsing.
#include <gtest/gtest.h>

#include "DigestAuth.h"

namespace {

// RFC 1321, appendix A.5.
TEST(DigestAuth, Md5KnownAnswers) {
  EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5Hex(""));
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5Hex("abc"));
  EXPECT_EQ(
      "57edf4a22be3c955ac49da2e2107b67a",
      Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"));
}

// The worked example of RFC 2617, section 3.5.
TEST(DigestAuth, PublishedExample) {
  DigestChallenge challenge;
  ASSERT_TRUE(ParseDigestChallenge(
      "Digest realm=\"testrealm@host.com\", qop=\"auth,auth-int\", "
      "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"",
      &challenge));
  EXPECT_EQ("testrealm@host.com", challenge.realm);
  EXPECT_TRUE(challenge.qop_auth);
  EXPECT_EQ(
      "Digest username=\"Mufasa\", realm=\"testrealm@host.com\", "
      "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", uri=\"/dir/index.html\", qop=auth, "
      "nc=00000001, cnonce=\"0a4f113b\", response=\"6629fae49393a05397450978507c4ef1\", "
      "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"",
      BuildDigestAuthorization(challenge, "Mufasa", "Circle Of Life", "GET", "/dir/index.html", 1,
                               "0a4f113b"));
}

TEST(DigestAuth, ChallengeWithoutQopUsesTheOlderResponse) {
  DigestChallenge challenge;
  ASSERT_TRUE(ParseDigestChallenge("digest realm=r, nonce=n, algorithm=MD5", &challenge));
  EXPECT_FALSE(challenge.has_qop);
  const std::string ha1 = Md5Hex("u:r:p");
  const std::string ha2 = Md5Hex("GET:/x");
  EXPECT_NE(std::string::npos, BuildDigestAuthorization(challenge, "u", "p", "GET", "/x", 1, "c")
                                   .find("response=\"" + Md5Hex(ha1 + ":n:" + ha2) + "\""));
}

TEST(DigestAuth, ChallengesWeCannotAnswer) {
  DigestChallenge challenge;
  EXPECT_FALSE(ParseDigestChallenge("Basic realm=\"x\"", &challenge));
  EXPECT_FALSE(ParseDigestChallenge("Digest realm=\"x\"", &challenge));  // no nonce
  EXPECT_FALSE(
      ParseDigestChallenge("Digest realm=\"x\", nonce=\"n\", algorithm=SHA-256", &challenge));
  EXPECT_FALSE(
      ParseDigestChallenge("Digest realm=\"x\", nonce=\"n\", qop=\"auth-int\"", &challenge));
  EXPECT_FALSE(ParseDigestChallenge("Digest", &challenge));
  EXPECT_FALSE(ParseDigestChallenge("", &challenge));
}

TEST(DigestAuth, ClientNoncesDiffer) {
  const std::string a = MakeClientNonce();
  EXPECT_EQ(16u, a.size());
  EXPECT_NE(a, MakeClientNonce());
}

}  // namespace
