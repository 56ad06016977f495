// Start-up: choose the machine (real, simulated or demo), then run the window.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <memory>
#include <string>

#include "BuildInfo.h"
#include "device/Platform.h"
#include "device/WindowsLayouts.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/DemoMachine.h"
#include "ui/DialogService.h"
#include "ui/Form1.h"
#include "ui/StartUp.h"
#ifdef _WIN32
#include "device/win32/ComInit.h"
#endif

namespace {

int Refuse(kalvorin::ui::DialogService& dialogs, const QString& text) {
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  dialogs.MessageBox(text, QStringLiteral("Démarrage impossible"),
                     kalvorin::device::kMbIconError | kalvorin::device::kMbTaskModal);
  return 1;
}

// Everything after COM's start-up (see main).
int RunProgram(int argc, char** argv, [[maybe_unused]] bool comReady) {
  using kalvorin::ui::StartOptions;
  // --help and --version answer before any window system is reached (over a
  // remote shell, without a display).
  {
    QCoreApplication console(argc, argv);
    QTranslator qtFrench;
    kalvorin::ui::InstallQtFrenchTranslation(qtFrench);
    const StartOptions options = kalvorin::ui::ReadStartOptions(QCoreApplication::arguments());
    if (options.help || options.version) {
      const QString text =
          options.help ? kalvorin::ui::StartHelpText() : kalvorin::ui::StartVersionText();
      std::fputs(text.toLocal8Bit().constData(), stdout);
      return 0;
    }
#ifndef _WIN32
    // No display to show the refusal on (a remote shell): say it here,
    // rather than let the window system fail to start.
    const bool display = qEnvironmentVariableIsSet("DISPLAY") ||
                         qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
                         qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
                         QCoreApplication::arguments().contains(QStringLiteral("-platform"));
    if (!options.error.isEmpty() && !display) {
      std::fprintf(stderr, "%s\n", options.error.toLocal8Bit().constData());
      return 1;
    }
#endif
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kalvorin 2"));
  QApplication::setApplicationVersion(QStringLiteral(KALVORIN_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral(KALVORIN_APP_ID));
#ifndef _WIN32
  QApplication::setStyle(QStringLiteral("Fusion"));
#endif
  // French throughout, Qt's own dialogs and buttons included.
  QTranslator qtFrench;
  kalvorin::ui::InstallQtFrenchTranslation(qtFrench);
  kalvorin::ui::QtDialogService dialogs;

  // Read again: the window system's own options (-platform...) are gone now.
  const StartOptions options = kalvorin::ui::ReadStartOptions(QApplication::arguments());
  if (!options.error.isEmpty()) return Refuse(dialogs, options.error);

  // Without the rights to open them, the real disks would make an empty
  // list: say why, and offer the demo machine instead.
  bool demo = options.demo;
  if (!demo && options.machine.isEmpty() && !kalvorin::ui::RunsAsAdministrator()) {
    std::fprintf(stderr, "%s\n",
                 QStringLiteral("Kalvorin 2 doit être lancé en tant qu'administrateur pour voir "
                                "les disques réels (kalvorin-admin, ou l'entrée du menu).")
                     .toLocal8Bit()
                     .constData());
    if (!kalvorin::ui::OfferDemoMachine(dialogs)) return 1;
    demo = true;
  }

  // The demo machine lives in a folder removed when the program ends.
  std::unique_ptr<QTemporaryDir> demoFolder;
  QString machineFolder = options.machine;
  if (demo) {
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
