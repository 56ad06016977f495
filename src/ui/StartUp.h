// What the program settles before its window: the command line, Qt's own
// French texts, and the administrator rights the real disks need.
#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

namespace kalvorin::ui {

class DialogService;

struct StartOptions {
  QString machine;       // --machine DIR
  bool demo = false;     // --demo
  QString screenshot;    // --screenshot FILE (a grab of the window, then exit)
  bool help = false;     // --help, -h
  bool version = false;  // --version, -v
  QString error;         // the French refusal, empty when the line is accepted
};

// Reads `arguments` (the first is the program). Needs an application object.
StartOptions ReadStartOptions(const QStringList& arguments);

// The French --help text and the --version line.
QString StartHelpText();
QString StartVersionText();

// Qt in French: loads Qt's French catalogue (standard dialogs, buttons, the
// --help headings) into `translator` and installs it on the running
// application, and makes French the default locale. False when the
// catalogue is not installed (Debian: qt6-translations-l10n).
bool InstallQtFrenchTranslation(QTranslator& translator);

// Whether the real disks can be opened: administrator rights (always true
// on Windows, where the program runs at the level it was started with).
bool RunsAsAdministrator();

// Started without the rights the real disks need: says so and offers the
// demo machine; true when the user takes it.
bool OfferDemoMachine(DialogService& dialogs);

}  // namespace kalvorin::ui
