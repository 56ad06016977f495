#include <QApplication>
#include <QTest>
#include <map>

#include "UiTests.h"

namespace kalvorin::test {
namespace {
std::map<std::string, std::function<std::unique_ptr<QObject>()>>& Registry() {
  static std::map<std::string, std::function<std::unique_ptr<QObject>()>> registry;
  return registry;
}
}  // namespace

bool RegisterUiTest(const char* name, std::function<std::unique_ptr<QObject>()> make) {
  Registry()[name] = std::move(make);
  return true;
}
}  // namespace kalvorin::test

// ui_tests [Class...] [-- Qt Test options]
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  QStringList classes;
  QStringList qtArguments{QString::fromLocal8Bit(argv[0])};
  bool options = false;
  for (int i = 1; i < argc; ++i) {
    const QString argument = QString::fromLocal8Bit(argv[i]);
    if (argument == QLatin1String("--")) {
      options = true;
    } else if (options) {
      qtArguments << argument;
    } else {
      classes << argument;
    }
  }
  int failures = 0;
  for (const auto& [name, make] : kalvorin::test::Registry()) {
    if (!classes.isEmpty() && !classes.contains(QString::fromStdString(name))) continue;
    const std::unique_ptr<QObject> test = make();
    failures += QTest::qExec(test.get(), qtArguments);
  }
  return failures == 0 ? 0 : 1;
}
