// The program's COM start-up, run in the order the executable runs it: COM
// and its security first thing on the main thread (RunWithCom), then what the
// window toolkit does when its application object is built (OLE on the same
// thread), then the management query of the first list refresh. An
// executable of its own, so that nothing in the process touched COM before.
#include <gtest/gtest.h>

#include <memory>

#include "device/Platform.h"
#include "device/win32/ComInit.h"
#include "device/win32/WindowsApi.h"

#include <ole2.h>

namespace kalvorin::device {
namespace {

bool comReady = false;

TEST(ComStartUp, SecurityBeforeTheApplicationThenTheManagementQuery) {
  ASSERT_TRUE(comReady) << "CoInitializeSecurity refused on a fresh main thread";

  const HRESULT ole = OleInitialize(nullptr);
  EXPECT_TRUE(SUCCEEDED(ole)) << std::hex << ole;

  // Connect, proxy security and query, as the identification of a disk does.
  const auto platform = CreateNativePlatform();
  const auto objects = platform->QueryWmi("WIN32_DiskDrive");
  ASSERT_FALSE(objects.empty());
  EXPECT_FALSE(objects.front().empty());

  if (SUCCEEDED(ole)) OleUninitialize();
}

}  // namespace
}  // namespace kalvorin::device

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return kalvorin::device::win32::RunWithCom([](bool ready) {
    kalvorin::device::comReady = ready;
    return RUN_ALL_TESTS();
  });
}
