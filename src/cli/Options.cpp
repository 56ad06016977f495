#include "cli/Options.h"

#include <array>
#include <string_view>

#include "BuildInfo.h"
#include "jobs/CopyParameters.h"

namespace kalvorin::cli {

namespace {

struct CommandSpec {
  Command command;
  const char* name;
  // Which option a command accepts (beyond --help, --json, --machine, --demo).
  bool disk, range, target, jobOptions;
};

constexpr std::array<CommandSpec, 5> kCommands{{
    {Command::List, "list", false, false, false, false},
    {Command::Detect, "detect", true, false, false, false},
    {Command::Check, "check", true, true, false, true},
    {Command::Erase, "erase", true, true, false, true},
    {Command::Copy, "copy", true, true, true, true},
}};

const CommandSpec* SpecOf(Command command) {
  for (const CommandSpec& spec : kCommands) {
    if (spec.command == command) return &spec;
  }
  return nullptr;
}

const char* const kUsage =
    "Utilisation : kalvorin-cli [--machine DOSSIER | --demo] COMMANDE [OPTIONS]\n"
    "Commandes : list, detect, check, erase, copy. Aide d'une commande : "
    "kalvorin-cli COMMANDE --help";

// The options that take a value, and whether each belongs to `spec`.
enum class Valued { Machine, Vers, Image, First, FirstTarget, Count, Volume, Report, None };

Valued ValuedOption(std::string_view name) {
  if (name == "--machine") return Valued::Machine;
  if (name == "--vers") return Valued::Vers;
  if (name == "--image") return Valued::Image;
  if (name == "--premier-secteur") return Valued::First;
  if (name == "--premier-secteur-cible") return Valued::FirstTarget;
  if (name == "--nombre-secteurs") return Valued::Count;
  if (name == "--volume") return Valued::Volume;
  if (name == "--rapport") return Valued::Report;
  return Valued::None;
}

bool Accepts(const CommandSpec* spec, Valued option) {
  switch (option) {
    case Valued::Machine:
      return true;
    case Valued::Vers:
    case Valued::Image:
    case Valued::FirstTarget:
      return spec != nullptr && spec->target;
    case Valued::First:
    case Valued::Count:
    case Valued::Volume:
      return spec != nullptr && spec->range;
    case Valued::Report:
      return spec != nullptr && spec->jobOptions;
    case Valued::None:
      break;
  }
  return false;
}

bool ReadNumber(const std::string& name, const std::string& text, std::uint64_t minimum,
                std::uint64_t maximum, std::uint64_t& value, std::string& error) {
  const std::optional<std::uint64_t> read = jobs::ReadSectorField(text);
  if (!read || *read < minimum || *read > maximum) {
    error = "L'option " + name + " demande un nombre entier de " + std::to_string(minimum) + " à " +
            std::to_string(maximum) + " ; reçu « " + text + " ».";
    return false;
  }
  value = *read;
  return true;
}

}  // namespace

const char* CommandName(Command command) {
  const CommandSpec* spec = SpecOf(command);
  return spec != nullptr ? spec->name : "";
}

Options ParseArguments(const std::vector<std::string>& arguments, std::string& error) {
  Options options;
  error.clear();
  // Options may come before or after the command; they are checked against
  // it once the whole line is read.
  std::vector<std::pair<std::string, Valued>> pending;  // option names, to check
  std::vector<std::string> flags;
  std::vector<std::string> words;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    if (argument == "--") {
      for (++i; i < arguments.size(); ++i) words.push_back(arguments[i]);
      break;
    }
    if (argument.rfind("--", 0) != 0 && argument != "-h") {
      words.push_back(argument);
      continue;
    }
    std::string value;
    bool hasValue = false;
    if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
      value = argument.substr(equals + 1);
      argument.resize(equals);
      hasValue = true;
    }
    const Valued valued = ValuedOption(argument);
    if (valued == Valued::None) {
      if (hasValue) {
        error = "L'option " + argument + " ne prend pas de valeur.";
        return options;
      }
      flags.push_back(argument);
      continue;
    }
    if (!hasValue) {
      if (i + 1 >= arguments.size()) {
        error = "L'option " + argument + " demande une valeur.";
        return options;
      }
      value = arguments[++i];
    }
    pending.emplace_back(argument, valued);
    std::uint64_t number = 0;
    switch (valued) {
      case Valued::Machine:
        options.machine = value;
        break;
      case Valued::Vers:
        options.targetDisk = value;
        break;
      case Valued::Image:
        options.image = value;
        break;
      case Valued::Report:
        options.report = value;
        break;
      case Valued::First:
      case Valued::FirstTarget:
      case Valued::Count:
        if (!ReadNumber(argument, value, valued == Valued::Count ? 1 : 0, jobs::kMaxSector, number,
                        error)) {
          return options;
        }
        (valued == Valued::First         ? options.first
         : valued == Valued::FirstTarget ? options.firstTarget
                                         : options.count) = number;
        break;
      case Valued::Volume:
        if (!ReadNumber(argument, value, 1, 32, number, error)) return options;
        options.volume = static_cast<int>(number);
        break;
      case Valued::None:
        break;
    }
    if (value.empty() && (valued == Valued::Machine || valued == Valued::Vers ||
                          valued == Valued::Image || valued == Valued::Report)) {
      error = "L'option " + argument + " demande une valeur non vide.";
      return options;
    }
  }

  if (!words.empty()) {
    for (const CommandSpec& spec : kCommands) {
      if (words.front() == spec.name) options.command = spec.command;
    }
    if (options.command == Command::None) {
      error = "Commande inconnue : « " + words.front() + " ».\n" + kUsage;
      return options;
    }
    words.erase(words.begin());
  }
  const CommandSpec* spec = SpecOf(options.command);
  const char* name = spec != nullptr ? spec->name : "kalvorin-cli";

  for (const std::string& flag : flags) {
    if (flag == "--help" || flag == "-h") {
      options.help = true;
    } else if (flag == "--version") {
      options.version = true;
    } else if (flag == "--json") {
      options.json = true;
    } else if (flag == "--demo") {
      options.demo = true;
    } else if ((flag == "--oui" || flag == "--ignorer-erreurs") && spec != nullptr &&
               spec->jobOptions) {
      (flag == "--oui" ? options.yes : options.ignoreErrors) = true;
    } else {
      error = "Option inconnue pour « " + std::string(name) + " » : " + flag + ".";
      return options;
    }
  }
  if (options.help || options.version) return options;
  for (const auto& [option, valued] : pending) {
    if (!Accepts(spec, valued)) {
      error = "Option inconnue pour « " + std::string(name) + " » : " + option + ".";
      return options;
    }
  }
  if (options.command == Command::None) {
    error = std::string("Aucune commande.\n") + kUsage;
    return options;
  }
  if (options.demo && !options.machine.empty()) {
    error = "Choisir --demo ou --machine, pas les deux.";
    return options;
  }
  if (spec->disk && !words.empty()) {
    options.disk = words.front();
    words.erase(words.begin());
  }
  if (!words.empty()) {
    error = "Argument en trop pour « " + std::string(name) + " » : « " + words.front() + " ».";
    return options;
  }
  if (options.command != Command::List && options.command != Command::Detect &&
      options.disk.empty()) {
    error = "La commande « " + std::string(name) + " » demande un SUPPORT.";
    return options;
  }
  if (options.command == Command::Copy) {
    if (options.targetDisk.empty() == options.image.empty()) {
      error = "La commande « copy » demande une cible : --vers SUPPORT ou --image FICHIER.";
      return options;
    }
  }
  return options;
}

std::string VersionText() { return "kalvorin-cli (Kalvorin 2), version " KALVORIN_VERSION "\n"; }

std::string HelpText(Command command) {
  const std::string common =
      "  --machine DOSSIER  travailler sur la machine simulée décrite par DOSSIER\n"
      "  --demo             travailler sur une machine de démonstration\n"
      "  --json             sortie pour les programmes (JSON)\n"
      "  -h, --help         cette aide\n";
  const std::string disk =
      "SUPPORT : le numéro du support (voir « list »), son chemin de périphérique\n"
      "(/dev/sdb, \\\\.\\PHYSICALDRIVE2) ou son numéro de série (celui de l'étiquette).\n"
      "Un nom qui contient / ou \\ est un chemin. Un nom ambigu ou inconnu est refusé.\n";
  const std::string job =
      "  --premier-secteur N     premier secteur de la plage (défaut : celui du support\n"
      "                          ou du volume)\n"
      "  --nombre-secteurs N     nombre de secteurs (défaut : tout le support ou le volume)\n"
      "  --volume N              la plage du volume N (numéros de « detect »)\n"
      "  --ignorer-erreurs       continuer après un bloc en échec, sans question\n"
      "  --rapport FICHIER       écrire le rapport dans FICHIER (qui ne doit pas exister) ;\n"
      "                          défaut : un nom unique dans le dossier courant\n";
  const std::string statuses =
      "Statut de sortie : 0 traitement terminé sans bloc en échec ; 1 terminé avec des\n"
      "blocs en échec ; 2 refusé ou utilisation incorrecte ; 3 arrêté (Ctrl+C, SIGTERM).\n";
  switch (command) {
    case Command::None:
      return "kalvorin-cli : contrôler, formater et copier des supports sans fenêtre.\n\n" +
             std::string(kUsage) +
             "\n\n"
             "Commandes :\n"
             "  list                 les supports connectés (le support du programme exclu)\n"
             "  detect [SUPPORT]     les volumes d'un support, ou de tous\n"
             "  check SUPPORT        contrôler l'intégrité (lire chaque secteur)\n"
             "  erase SUPPORT        formater (écrire des zéros sur chaque secteur)\n"
             "  copy SUPPORT --vers SUPPORT | --image FICHIER\n"
             "                       copier vers un support ou vers un fichier image\n\n"
             "Options générales :\n" +
             common + "  --version          la version du programme\n\n" + disk + "\n" + statuses;
    case Command::List:
      return "Utilisation : kalvorin-cli list [--json]\n\n"
             "Affiche les supports connectés : numéro, modèle, numéro de série (ou le texte\n"
             "du DOCK), interface, capacité et chemin. Le support qui contient le programme\n"
             "n'est pas affiché.\n\nOptions :\n" +
             common;
    case Command::Detect:
      return "Utilisation : kalvorin-cli detect [SUPPORT] [--json]\n\n"
             "Affiche les volumes d'un support (ou de tous) comme la détection des volumes\n"
             "logiques : numéro de volume, libellé, détails ou lettre, premier secteur et\n"
             "nombre de secteurs.\n\n" +
             disk + "\nOptions :\n" + common;
    case Command::Check:
      return "Utilisation : kalvorin-cli check SUPPORT [OPTIONS]\n\n"
             "Contrôle l'intégrité du support : lit chaque secteur de la plage et note dans\n"
             "le rapport chaque bloc illisible.\n\n" +
             disk + "\nOptions :\n" + job + common + "\n" + statuses;
    case Command::Erase:
      return "Utilisation : kalvorin-cli erase SUPPORT [OPTIONS]\n\n"
             "Formate le support : écrit des zéros sur chaque secteur de la plage, après\n"
             "avoir effacé les 128 premiers secteurs du disque. Le DOCK protégé en écriture\n"
             "et le support du programme ne sont jamais formatés. La confirmation se fait\n"
             "en tapant le numéro du support ; sans terminal, --oui est nécessaire.\n\n" +
             disk + "\nOptions :\n" + job +
             "  --oui                   confirmer d'avance (pour les scripts)\n" + common + "\n" +
             statuses;
    case Command::Copy:
      return "Utilisation : kalvorin-cli copy SUPPORT (--vers SUPPORT | --image FICHIER) "
             "[OPTIONS]\n\n"
             "Copie une plage de secteurs vers un autre support (au même numéro de secteur,\n"
             "sauf --premier-secteur-cible) ou vers un nouveau fichier image. Une copie vers\n"
             "un support demande la confirmation en tapant son numéro ; sans terminal,\n"
             "--oui est nécessaire. Un fichier image existant n'est remplacé qu'après\n"
             "confirmation.\n\n" +
             disk + "\nOptions :\n" + job +
             "  --vers SUPPORT          le support cible\n"
             "  --image FICHIER         le fichier image cible\n"
             "  --premier-secteur-cible N  premier secteur écrit sur la cible (défaut : le\n"
             "                          premier secteur de la source)\n"
             "  --oui                   confirmer d'avance (pour les scripts)\n" +
             common + "\n" + statuses;
  }
  return {};
}

}  // namespace kalvorin::cli
