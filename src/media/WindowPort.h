// What the logic needs of the window. The Qt window implements it in
// src/ui/; tests implement it with a scripted fake that records every call.
// Texts are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvorin::media {

struct SaveDialogSpec {
  std::string title;             // "Sauvegarde du rapport du traitement effectué"
  std::string filter;            // "Fichier texte|*.txt"
  std::string defaultExtension;  // "txt"
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // A message box with no owner window. `style` holds the MB_* flags of
  // WindowsLayouts.h; the answer is an ID* code (kIdOk, kIdYes, kIdNo...).
  virtual int MessageBox(const std::string& text, const std::string& caption,
                         std::uint32_t style) = 0;
  // A file-save dialog opened on `fileName`; the chosen path, or nullopt
  // when the user cancels.
  virtual std::optional<std::string> SaveDialog(const SaveDialogSpec& spec,
                                                const std::string& fileName) = 0;
  virtual void SetProgress(int percent) = 0;                // ProgressBar1, 0..100
  virtual void SetStatusText(const std::string& text) = 0;  // status panel 1
  // Lets the window handle its pending events once (stop button, check box).
  virtual void ProcessEvents() = 0;
  // TraitementEnCours: a job is running. The job only ever clears it.
  virtual bool JobRunning() = 0;
  virtual void StopJob() = 0;
  // State of "Ignorer les erreurs" at this moment.
  virtual bool IgnoreErrors() = 0;
  // Text of Label_SupportSource, the prepared job's title.
  virtual std::string PanelTitle() = 0;

  // For front ends that show a job their own way (a terminal, a script);
  // the window needs neither.
  // The figures of a refresh, just before its status text: the position p
  // of [first, end), the throughput in Mo/s and the estimated end time.
  virtual void JobPosition(std::uint64_t /*p*/, std::uint64_t /*first*/, std::uint64_t /*end*/,
                           std::uint64_t /*megabytesPerSecond*/, const std::string& /*endTime*/) {}
  // A failed block at p, once its message is in the report and before the
  // question is asked.
  virtual void BlockFailed(std::uint64_t /*p*/, const std::string& /*message*/) {}
};

}  // namespace kalvorin::media
