#include <gtest/gtest.h>

#include "_WindowPolicy.h"

namespace {
class CEnv final : public ::testing::Environment {
 public:
  void SetUp() override {
    lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvUiTest", nullptr, nullptr);
    lib::wfc::InitThread();
  }
  void TearDown() override {
    lib::wfc::TermThread();
    lib::wfc::Terminate();
  }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new CEnv);
}  // namespace
