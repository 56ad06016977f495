// COM set-up for the management query. Windows only.
//
// The process-wide COM security can be chosen only once, and only before COM
// has marshalled anything: after that (or after COM chose it by itself at a
// first marshalling) CoInitializeSecurity answers RPC_E_TOO_LATE. The window
// toolkit initialises OLE on its thread when its application object is built,
// so the program starts COM first thing, on the main thread that will run the
// window, before that object exists.
#pragma once

#include <functional>

namespace kalvorin::device::win32 {

// CoInitialize (single-threaded apartment), then CoInitializeSecurity with
// the default authentication services, packet authentication and
// impersonation. True only when CoInitializeSecurity answered S_OK.
bool InitializeComForWmi();

// The program's start-up order: InitializeComForWmi on the calling thread
// (the main thread), then `program` with its outcome; returns what `program`
// returns. `program` builds the application object and reports a failed
// COM start-up once it can show a message.
int RunWithCom(const std::function<int(bool comReady)>& program);

}  // namespace kalvorin::device::win32
