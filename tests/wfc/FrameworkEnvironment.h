// Starts the framework once per test process, as a program's start-up does.
#pragma once

#include <gtest/gtest.h>

#include "_WindowPolicy.h"

namespace wfctest {

class CFrameworkEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvWfcTest", nullptr, nullptr);
    lib::wfc::InitThread();
  }
  void TearDown() override {
    lib::wfc::TermThread();
    lib::wfc::Terminate();
  }
};

}  // namespace wfctest
