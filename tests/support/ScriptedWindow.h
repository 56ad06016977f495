// A scripted stand-in for the window: records every call and answers
// message boxes and save dialogs from queues set up by the test.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/WindowsLayouts.h"
#include "media/WindowPort.h"

namespace kalvorin::test {

struct RecordedMessage {
  std::string text;
  std::string caption;
  std::uint32_t style = 0;
};

class ScriptedWindow : public media::WindowPort {
 public:
  // Answers given to message boxes, in order; when empty: kIdOk for
  // single-button boxes, `defaultYesNo` for Yes/No boxes.
  std::deque<int> answers;
  int defaultYesNo = device::kIdYes;
  // Answers given to save dialogs, in order; when empty: cancel.
  std::deque<std::optional<std::string>> saveAnswers;
  bool running = true;
  bool ignoreErrors = false;
  std::string title = "Titre";
  // Called at each ProcessEvents (a test can stop the job from there).
  std::function<void()> onProcessEvents;
  // Called at each message box, before it is answered.
  std::function<void(const RecordedMessage&)> onMessageBox;

  std::vector<RecordedMessage> messages;
  std::vector<std::string> saveDialogNames;
  std::vector<media::SaveDialogSpec> saveDialogSpecs;
  std::vector<int> progress;
  std::vector<std::string> statusTexts;
  int processEventsCalls = 0;

  int MessageBox(const std::string& text, const std::string& caption,
                 std::uint32_t style) override {
    messages.push_back({text, caption, style});
    if (onMessageBox) onMessageBox(messages.back());
    if (!answers.empty()) {
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return (style & 0xF) == device::kMbYesNo ? defaultYesNo : device::kIdOk;
  }
  std::optional<std::string> SaveDialog(const media::SaveDialogSpec& spec,
                                        const std::string& fileName) override {
    saveDialogSpecs.push_back(spec);
    saveDialogNames.push_back(fileName);
    if (saveAnswers.empty()) return std::nullopt;
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
  }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
  void ProcessEvents() override {
    ++processEventsCalls;
    if (onProcessEvents) onProcessEvents();
  }
  bool JobRunning() override { return running; }
  void StopJob() override { running = false; }
  bool IgnoreErrors() override { return ignoreErrors; }
  std::string PanelTitle() override { return title; }
};

}  // namespace kalvorin::test
