// A main window over a simulated machine, with scripted modal windows.
#pragma once

#include <QDialog>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "StandardMachine.h"
#include "device/Platform.h"
#include "device/WindowsLayouts.h"
#include "device/sim/demo/MachineBuilder.h"
#include "support/TempDir.h"
#include "ui/DialogService.h"
#include "ui/Form1.h"

class QAbstractButton;
class QLineEdit;
class QTreeView;

namespace kalvorin::test {

struct ShownBox {
  QString text;
  QString caption;
  std::uint32_t style = 0;
};

class ScriptedDialogs : public ui::DialogService {
 public:
  // Called for each message box; its answer is used when it returns a
  // value. Otherwise: OK for single-button boxes, `defaultYesNo` else.
  std::function<std::optional<int>(const ShownBox&)> onMessage;
  int defaultYesNo = device::kIdNo;
  // Answers of the file dialogs, in order (an empty name cancels); when
  // none is left: cancel.
  std::deque<QString> saveAnswers;
  // Acts on the target dialog (selects, validates); when unset or when it
  // leaves the dialog open, the dialog is closed by its close box.
  std::function<void(QDialog&)> onModal;

  std::vector<ShownBox> messages;
  std::vector<ui::SaveFileRequest> saveRequests;

  int MessageBox(const QString& text, const QString& caption, std::uint32_t style) override;
  std::optional<QString> SaveFile(const ui::SaveFileRequest& request) override;
  int RunModal(QDialog& dialog) override;

  // Texts of the boxes shown so far.
  QStringList Texts() const;
};

class WindowHarness {
 public:
  // Writes the machine (DescribeStandardMachine unless `describe` is
  // given), then opens the main window on it.
  explicit WindowHarness(std::function<void(demo::MachineBuilder&)> describe = {});
  ~WindowHarness();

  // Writes the machine again (after plugging or unplugging disks).
  void Rewrite();

  ui::Form1& form() { return *form_; }
  QTreeView& tree();
  template <typename T>
  T* child(const char* name) {
    return form_->findChild<T*>(QString::fromLatin1(name));
  }
  QAbstractButton* button(const char* name);

  // Selects the node whose record satisfies `match`; false when none does.
  bool Select(const std::function<bool(const media::listeSupport&)>& match);
  bool SelectDisk(int number);
  bool SelectVolume(int number, std::uint64_t firstSector);
  bool SelectHeader(const std::string& label);
  bool SelectImage();
  void ClearSelection();

  // Adds an image file of `sectors` sectors in the machine folder through the
  // image command; returns its path.
  std::string AddImage(const std::string& name, std::uint64_t sectors);

  // Triggers a toolbar command by its object name.
  void Trigger(const char* name);

  TempDir dir;
  demo::MachineBuilder machine;
  std::unique_ptr<device::Platform> platform;
  ScriptedDialogs dialogs;

 private:
  std::unique_ptr<ui::Form1> form_;
};

}  // namespace kalvorin::test
