// COM set-up for the management query, done once by the start-up on the
// window's thread before the first list refresh. Windows only.
#pragma once

namespace kalvorin::device::win32 {

// CoInitialize (single-threaded apartment), then CoInitializeSecurity with
// the default authentication services, packet authentication and
// impersonation. True only when CoInitializeSecurity answered S_OK.
bool InitializeComForWmi();

}  // namespace kalvorin::device::win32
