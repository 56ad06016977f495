#include "device/win32/ComInit.h"

#include "device/win32/WindowsApi.h"

#include <objbase.h>

namespace kalvorin::device::win32 {

bool InitializeComForWmi() {
  CoInitialize(nullptr);
  const HRESULT security =
      CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  return security == S_OK;
}

int RunWithCom(const std::function<int(bool comReady)>& program) {
  const bool comReady = InitializeComForWmi();
  return program(comReady);
}

}  // namespace kalvorin::device::win32
