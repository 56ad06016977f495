#include "cli/TerminalWindow.h"

#include <cctype>

#include "device/WindowsLayouts.h"
#include "jobs/Messages.h"

namespace kalvorin::cli {

namespace {

constexpr std::uint64_t kDrawIntervalMs = 250;   // at most four redraws a second
constexpr std::uint64_t kJsonIntervalMs = 1000;  // at most one progress line a second

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::size_t Columns(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace

std::string TerminalText(const std::string& text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\r') {
      shown += '\n';
      ++i;
    } else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      shown += '\n';
      ++i;
    } else {
      shown += text[i] == '\r' ? '\n' : text[i];
    }
  }
  return shown;
}

bool IsYes(const std::string& answer) {
  std::string word = Trimmed(answer);
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word == "o" || word == "oui";
}

void TerminalWindow::PrepareJob(const std::string& title, int confirmDisk) {
  title_ = title;
  confirmDisk_ = confirmDisk;
  running_ = true;
  failedBlocks_ = 0;
  errors_ = 0;
}

void TerminalWindow::EndProgressLine() {
  if (!progressLine_) return;
  console_.Err() << '\n';
  console_.Err().flush();
  progressLine_ = false;
}

void TerminalWindow::Say(const std::string& text) {
  EndProgressLine();
  console_.Err() << TerminalText(text) << '\n';
  console_.Err().flush();
}

int TerminalWindow::MessageBox(const std::string& text, const std::string& caption,
                               std::uint32_t style) {
  if (style == jobs::kStyleSaveReport) {
    // The report is already where it was asked to be: it is kept there.
    return device::kIdYes;
  }
  if (style == jobs::kStyleConfirmOverwrite) return Confirm(text);
  if (style == jobs::kStyleBlockFailed) return AskToContinue(text);
  const bool error = (style & 0xF0) == device::kMbIconError;
  if (error) ++errors_;
  Say(caption + " : " + text);
  if (settings_.json) {
    WriteJsonLine(console_.Out(), Json{{"evenement", "message"},
                                       {"titre", caption},
                                       {"texte", TerminalText(text)},
                                       {"erreur", error}});
  }
  return (style & 0xF) == device::kMbYesNo ? device::kIdNo : device::kIdOk;
}

int TerminalWindow::Confirm(const std::string& text) {
  Say(text);
  if (settings_.assumeYes) {
    Say("Confirmé par l'option --oui.");
    return device::kIdYes;
  }
  if (!console_.Interactive() || confirmDisk_ < 0) {
    Say("Pas de terminal pour confirmer : rien n'est écrit (--oui confirme d'avance).");
    return device::kIdNo;
  }
  const std::string expected = std::to_string(confirmDisk_);
  console_.Err() << "Pour continuer, taper le numéro du support (" << expected << ") : ";
  console_.Err().flush();
  const std::optional<std::string> answer = console_.ReadLine();
  if (answer && Trimmed(*answer) == expected) return device::kIdYes;
  if (!answer) console_.Err() << '\n';
  Say("Confirmation refusée : rien n'est écrit.");
  return device::kIdNo;
}

int TerminalWindow::AskToContinue(const std::string& text) {
  if (!console_.Interactive()) {
    Say("Pas de terminal pour répondre : le traitement s'arrête (--ignorer-erreurs pour "
        "continuer après les blocs en échec).");
    return device::kIdNo;
  }
  // The message itself was shown by BlockFailed: only the question remains.
  const std::size_t question = text.find(jobs::kContinueQuestion);
  const std::string shown = question == std::string::npos
                                ? TerminalText(text)
                                : TerminalText(text.substr(question)).substr(1);
  EndProgressLine();
  console_.Err() << shown << " (o/n) : ";
  console_.Err().flush();
  const std::optional<std::string> answer = console_.ReadLine();
  if (!answer) console_.Err() << '\n';
  return answer && IsYes(*answer) ? device::kIdYes : device::kIdNo;
}

std::optional<std::string> TerminalWindow::SaveDialog(const media::SaveDialogSpec&,
                                                      const std::string&) {
  return std::nullopt;
}

bool TerminalWindow::JobRunning() {
  if (running_ && console_.StopRequested()) {
    running_ = false;
    if (!stopAnnounced_) {
      stopAnnounced_ = true;
      Say("Arrêt demandé : le traitement s'arrête avant le bloc suivant.");
    }
  }
  return running_;
}

void TerminalWindow::JobPosition(std::uint64_t p, std::uint64_t first, std::uint64_t end,
                                 std::uint64_t megabytesPerSecond, const std::string& endTime) {
  if (!settings_.json) return;
  const std::uint64_t now = console_.NowMs();
  if (jsonShown_ && now - lastJsonMs_ < kJsonIntervalMs) return;
  jsonShown_ = true;
  lastJsonMs_ = now;
  WriteJsonLine(console_.Out(), Json{{"evenement", "progression"},
                                     {"secteur", p},
                                     {"premier_secteur", first},
                                     {"fin", end},
                                     {"pourcentage", percent_},
                                     {"mo_par_seconde", megabytesPerSecond},
                                     {"fin_estimee", endTime}});
}

void TerminalWindow::SetStatusText(const std::string& text) {
  if (settings_.json || !console_.ErrIsTerminal()) return;
  const std::uint64_t now = console_.NowMs();
  if (drawn_ && now - lastDrawMs_ < kDrawIntervalMs) return;
  drawn_ = true;
  lastDrawMs_ = now;
  const std::string line = std::to_string(percent_) + " % - " + text;
  const std::size_t width = Columns(line);
  console_.Err() << '\r' << line;
  // Blanks over the rest of a longer previous line.
  if (width < progressWidth_) console_.Err() << std::string(progressWidth_ - width, ' ');
  console_.Err().flush();
  progressWidth_ = width;
  progressLine_ = true;
}

void TerminalWindow::BlockFailed(std::uint64_t p, const std::string& message) {
  ++failedBlocks_;
  if (settings_.json) {
    WriteJsonLine(console_.Out(),
                  Json{{"evenement", "bloc_en_echec"}, {"secteur", p}, {"message", message}});
  }
  Say(message);
}

}  // namespace kalvorin::cli
