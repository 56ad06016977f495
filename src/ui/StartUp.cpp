#include "ui/StartUp.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "BuildInfo.h"
#include "device/WindowsLayouts.h"
#include "ui/DialogService.h"
#ifndef _WIN32
#include <unistd.h>
#endif

namespace kalvorin::ui {

namespace {

const QString kUsage = QStringLiteral("Utilisation : kalvorin [--demo | --machine DOSSIER]");

struct Parser {
  QCommandLineParser parser;
  QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                          QStringLiteral("Affiche cette aide et quitte.")};
  QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                             QStringLiteral("Affiche la version du programme et quitte.")};
  QCommandLineOption demo{
      QStringLiteral("demo"),
      QStringLiteral("Ouvre la machine de démonstration : des disques simulés, faits de "
                     "fichiers image dans un dossier temporaire supprimé à la fin. Les disques "
                     "réels ne sont pas touchés.")};
  QCommandLineOption machine{
      QStringLiteral("machine"),
      QStringLiteral("Ouvre la machine simulée décrite par DOSSIER/machine.json au lieu des "
                     "disques réels."),
      QStringLiteral("DOSSIER")};
  QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                QStringLiteral("Enregistre une image de la fenêtre, puis quitte."),
                                QStringLiteral("FICHIER")};

  Parser() {
    parser.setApplicationDescription(QStringLiteral(
        "Kalvorin 2 : contrôle, copie et effacement de disques, secteur par secteur.\n"
        "Sans option, le programme travaille sur les disques réels de cette machine et doit\n"
        "être lancé en tant qu'administrateur (depuis le menu, ou avec kalvorin-admin)."));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    // "-demo" reads as "--demo", not as the letters d, e, m and o.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({help, version, demo, machine, screenshot});
  }
};

}  // namespace

StartOptions ReadStartOptions(const QStringList& arguments) {
  Parser p;
  StartOptions options;
  const bool parsed = p.parser.parse(arguments);
  options.help = p.parser.isSet(p.help);
  options.version = p.parser.isSet(p.version);
  options.demo = p.parser.isSet(p.demo);
  options.machine = p.parser.value(p.machine);
  options.screenshot = p.parser.value(p.screenshot);
  QString refused;
  if (!parsed) {
    // The first argument the parser could not take: an unknown option, or
    // the last one, whose value is missing.
    const QStringList unknown = p.parser.unknownOptionNames();
    refused = arguments.value(arguments.size() - 1);
    for (int i = 1; i < arguments.size() && !unknown.isEmpty(); ++i) {
      QString name = arguments[i];
      while (name.startsWith(QLatin1Char('-'))) name.remove(0, 1);
      if (unknown.contains(name.section(QLatin1Char('='), 0, 0))) {
        refused = arguments[i];
        break;
      }
    }
  } else if (!p.parser.positionalArguments().isEmpty()) {
    refused = p.parser.positionalArguments().front();
  } else if (p.parser.isSet(p.machine) && options.machine.isEmpty()) {
    refused = QStringLiteral("--machine");
  }
  if (!refused.isEmpty()) {
    options.error = QStringLiteral("Option inconnue ou incomplète : %1\n\n%2").arg(refused, kUsage);
  } else if (options.demo && !options.machine.isEmpty()) {
    options.error = QStringLiteral("Choisir --demo ou --machine, pas les deux.");
  }
  return options;
}

QString StartHelpText() {
  Parser p;
  return p.parser.helpText();
}

QString StartVersionText() {
  return QStringLiteral("Kalvorin 2, version %1\n").arg(QStringLiteral(KALVORIN_VERSION));
}

bool InstallQtFrenchTranslation(QTranslator& translator) {
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  // Beside the executable first (a Windows deployment puts them there), then
  // Qt's own folder (Debian: /usr/share/qt6/translations).
  const QStringList folders{
      QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
      QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
  for (const QString& folder : folders) {
    if (translator.load(QStringLiteral("qtbase_fr"), folder)) {
      return QCoreApplication::installTranslator(&translator);
    }
  }
  return false;
}

bool RunsAsAdministrator() {
#ifdef _WIN32
  return true;
#else
  return geteuid() == 0;
#endif
}

bool OfferDemoMachine(DialogService& dialogs) {
  const int answer = dialogs.MessageBox(
      QStringLiteral("Kalvorin 2 doit être lancé en tant qu'administrateur pour voir les disques "
                     "réels de cette machine.\n\n"
                     "Depuis le menu des applications, « Kalvorin 2 » demande le mot de passe "
                     "administrateur ; dans un terminal, lancer : kalvorin-admin\n\n"
                     "Ouvrir la machine de démonstration (disques simulés) à la place ?"),
      QStringLiteral("Droits administrateur nécessaires"),
      device::kMbYesNo | device::kMbIconWarning | device::kMbTaskModal);
  return answer == device::kIdYes;
}

}  // namespace kalvorin::ui
