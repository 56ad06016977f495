// Registers a Qt Test class with the test runner (UiTestsMain.cpp), which
// runs every class, or only those named on its command line.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "device/sim/demo/ImageFile.h"
#include "support/TempDir.h"

namespace kalvorin::test {
bool RegisterUiTest(const char* name, std::function<std::unique_ptr<QObject>()> make);
}

#define KALVORIN_UI_TEST(Class)         \
  static const bool Class##Registered = \
      kalvorin::test::RegisterUiTest(#Class, [] { return std::make_unique<Class>(); });
