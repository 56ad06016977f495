// Start-up: choose the machine (real, simulated or demo), then run the window.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "device/Platform.h"
#include "device/WindowsLayouts.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/DemoMachine.h"
#include "ui/DialogService.h"
#include "ui/Form1.h"
#ifdef _WIN32
#include "device/win32/ComInit.h"
#endif

namespace {

struct Options {
  QString machine;     // --machine DIR
  bool demo = false;   // --demo
  QString screenshot;  // --screenshot FILE (a grab of the window, then exit)
  QString error;
};

Options ReadOptions(const QStringList& arguments) {
  Options options;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--demo")) {
      options.demo = true;
    } else if ((argument == QLatin1String("--machine") ||
                argument == QLatin1String("--screenshot")) &&
               i + 1 < arguments.size()) {
      (argument == QLatin1String("--machine") ? options.machine : options.screenshot) =
          arguments[++i];
    } else {
      options.error = QStringLiteral(
                          "Option inconnue ou incomplète : %1\n\n"
                          "Utilisation : kalvorin [--demo | --machine DOSSIER]")
                          .arg(argument);
    }
  }
  if (options.demo && !options.machine.isEmpty()) {
    options.error = QStringLiteral("Choisir --demo ou --machine, pas les deux.");
  }
  return options;
}

int Refuse(kalvorin::ui::DialogService& dialogs, const QString& text) {
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  dialogs.MessageBox(text, QStringLiteral("Démarrage impossible"),
                     kalvorin::device::kMbIconError | kalvorin::device::kMbTaskModal);
  return 1;
}

// Everything after COM's start-up (see main).
int RunProgram(int argc, char** argv, [[maybe_unused]] bool comReady) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kalvorin 2"));
#ifndef _WIN32
  QApplication::setStyle(QStringLiteral("Fusion"));
#endif
  kalvorin::ui::QtDialogService dialogs;

  const Options options = ReadOptions(QApplication::arguments());
  if (!options.error.isEmpty()) return Refuse(dialogs, options.error);

  // The demo machine lives in a folder removed when the program ends.
  std::unique_ptr<QTemporaryDir> demoFolder;
  QString machineFolder = options.machine;
  if (options.demo) {
    demoFolder =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kalvorin-demo-XXXXXX"));
    std::string error;
    if (!demoFolder->isValid() ||
        !kalvorin::demo::BuildDemoMachine(demoFolder->path().toStdString(), error)) {
      return Refuse(dialogs,
                    QStringLiteral("La machine de démonstration n'a pas pu être créée.\n%1")
                        .arg(QString::fromStdString(error)));
    }
    machineFolder = demoFolder->path();
  }

  std::unique_ptr<kalvorin::device::Platform> platform;
  if (!machineFolder.isEmpty()) {
    std::string error;
    platform = kalvorin::device::CreateSimulatedPlatform(machineFolder.toStdString(), error);
    if (!platform) {
      return Refuse(dialogs, QStringLiteral("La machine simulée « %1 » est refusée :\n%2")
                                 .arg(machineFolder, QString::fromStdString(error)));
    }
  } else {
    platform = kalvorin::device::CreateNativePlatform();
  }

#ifdef _WIN32
  if (!comReady) {
    dialogs.MessageBox(QStringLiteral("Erreur lors de l'initialisation WMI."),
                       QStringLiteral("Erreur Système"),
                       kalvorin::device::kMbIconError | kalvorin::device::kMbTaskModal);
    return 1;
  }
#endif

  kalvorin::ui::Form1 form(*platform, dialogs);
  form.show();
  if (!options.screenshot.isEmpty()) {
    QTimer::singleShot(500, &form, [&form, &options] {
      form.grab().save(options.screenshot);
      QApplication::quit();
    });
  }
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // COM and its process security first, on this thread, before the
  // application object initialises OLE on it (see device/win32/ComInit.h).
  return kalvorin::device::win32::RunWithCom(
      [&](bool comReady) { return RunProgram(argc, argv, comReady); });
#else
  return RunProgram(argc, argv, true);
#endif
}
