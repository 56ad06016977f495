// The window of the logic (media::WindowPort) on a terminal: messages on
// the error stream, the overwrite confirmation typed as the disk's number,
// the failed-block question answered o/n, the progress as one redrawn line
// or as JSON lines. Without a person to answer, a question is answered No.
#pragma once

#include <cstdint>
#include <string>

#include "cli/Console.h"
#include "cli/JsonOutput.h"
#include "media/WindowPort.h"

namespace kalvorin::cli {

class TerminalWindow final : public media::WindowPort {
 public:
  struct Settings {
    bool json = false;
    bool assumeYes = false;     // --oui
    bool ignoreErrors = false;  // --ignorer-erreurs
  };
  TerminalWindow(Console& console, Settings settings) : console_(console), settings_(settings) {}

  // Prepares a job: its title, and the number the user must type to allow
  // it to overwrite a disk (-1: none).
  void PrepareJob(const std::string& title, int confirmDisk);
  // Ends the progress line, if one is shown.
  void EndProgressLine();

  int failedBlocks() const { return failedBlocks_; }
  // Error messages shown since PrepareJob (a failed flush, a sector not
  // restored, a report not complete...).
  int errors() const { return errors_; }

  int MessageBox(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::optional<std::string> SaveDialog(const media::SaveDialogSpec& spec,
                                        const std::string& fileName) override;
  void SetProgress(int percent) override { percent_ = percent; }
  // The status text, redrawn as the progress line of a terminal.
  void SetStatusText(const std::string& text) override;
  void ProcessEvents() override {}
  bool JobRunning() override;
  void StopJob() override { running_ = false; }
  bool IgnoreErrors() override { return settings_.ignoreErrors; }
  std::string PanelTitle() override { return title_; }
  void JobPosition(std::uint64_t p, std::uint64_t first, std::uint64_t end,
                   std::uint64_t megabytesPerSecond, const std::string& endTime) override;
  void BlockFailed(std::uint64_t p, const std::string& message) override;

 private:
  int Confirm(const std::string& text);
  int AskToContinue(const std::string& text);
  void Say(const std::string& text);

  Console& console_;
  Settings settings_;
  std::string title_;
  int confirmDisk_ = -1;
  bool running_ = true;
  bool stopAnnounced_ = false;
  int percent_ = 0;
  bool progressLine_ = false;  // a progress line is on the terminal
  std::size_t progressWidth_ = 0;
  std::uint64_t lastDrawMs_ = 0;
  std::uint64_t lastJsonMs_ = 0;
  bool drawn_ = false, jsonShown_ = false;
  int failedBlocks_ = 0;
  int errors_ = 0;
};

// Texts of the message boxes as a terminal shows them: "\r" and "\n\r"
// become line ends.
std::string TerminalText(const std::string& text);

// Whether a typed answer is yes: "o" or "oui", any case, blanks around.
bool IsYes(const std::string& answer);

}  // namespace kalvorin::cli
