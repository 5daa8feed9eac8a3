// The sources are UTF-8 and compiled to code page 932 bytes.
#include <gtest/gtest.h>

#include <string>

TEST(Charset, JapaneseLiteralIsCodePage932) {
  const std::string text = "表ソ";
  EXPECT_EQ(text, std::string("\x95\x5C\x83\x5C"));
}

#include "OvWindows.h"

TEST(Charset, AnsiCodePageIs932) { EXPECT_EQ(GetACP(), 932u); }
