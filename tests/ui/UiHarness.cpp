#include "UiHarness.h"

#include <QAbstractButton>
#include <QAction>
#include <QItemSelectionModel>
#include <QTreeView>
#include <stdexcept>

#include "device/sim/SimPlatform.h"
#include "device/sim/demo/ImageFile.h"
#include "ui/MediaTreeModel.h"

namespace kalvorin::test {

int ScriptedDialogs::MessageBox(const QString& text, const QString& caption, std::uint32_t style) {
  const ShownBox box{text, caption, style};
  messages.push_back(box);
  if (onMessage) {
    if (const std::optional<int> answer = onMessage(box)) return *answer;
  }
  return (style & 0xF) == device::kMbYesNo ? defaultYesNo : device::kIdOk;
}

std::optional<QString> ScriptedDialogs::SaveFile(const ui::SaveFileRequest& request) {
  saveRequests.push_back(request);
  if (saveAnswers.empty()) return std::nullopt;
  const QString answer = saveAnswers.front();
  saveAnswers.pop_front();
  if (answer.isEmpty()) return std::nullopt;
  return answer;
}

int ScriptedDialogs::RunModal(QDialog& dialog) {
  dialog.setResult(0);
  dialog.show();
  if (onModal) onModal(dialog);
  // Still open: the user closes it with its close box.
  if (dialog.result() == 0) dialog.reject();
  return dialog.result();
}

QStringList ScriptedDialogs::Texts() const {
  QStringList texts;
  for (const ShownBox& box : messages) texts << box.text;
  return texts;
}

WindowHarness::WindowHarness(std::function<void(demo::MachineBuilder&)> describe)
    : machine(dir.path().string()) {
  if (describe) {
    describe(machine);
  } else {
    DescribeStandardMachine(machine);
  }
  std::string error;
  if (!machine.Write(error)) throw std::runtime_error(error);
  if (!describe) WriteStandardPartitions(machine);
  platform = device::CreateSimulatedPlatform(machine.folder(), error);
  if (!platform) throw std::runtime_error(error);
  form_ = std::make_unique<ui::Form1>(*platform, dialogs);
  form_->show();
}

WindowHarness::~WindowHarness() { form_.reset(); }

void WindowHarness::Rewrite() {
  std::string error;
  if (!machine.Write(error)) throw std::runtime_error(error);
}

QTreeView& WindowHarness::tree() { return *child<QTreeView>("VST_Support"); }

QAbstractButton* WindowHarness::button(const char* name) { return child<QAbstractButton>(name); }

bool WindowHarness::Select(const std::function<bool(const media::listeSupport&)>& match) {
  const media::MediaNode* found = nullptr;
  form_->State().tree.ForEach([&](media::MediaNode& node) {
    if (!found && node.record && match(*node.record)) found = &node;
  });
  if (!found) return false;
  const QModelIndex index = form_->TreeModel().IndexOf(found);
  tree().selectionModel()->select(index,
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tree().setCurrentIndex(index);
  return true;
}

bool WindowHarness::SelectDisk(int number) {
  return Select([number](const media::listeSupport& r) {
    return r.TypeSupport == media::kPhysical && r.TypeVolume == 0 && r.NumDisque == number;
  });
}

bool WindowHarness::SelectVolume(int number, std::uint64_t firstSector) {
  return Select([=](const media::listeSupport& r) {
    return r.TypeSupport == media::kPhysical && r.TypeVolume != 0 && r.NumDisque == number &&
           r.FirstSct == firstSector;
  });
}

bool WindowHarness::SelectHeader(const std::string& label) {
  return Select([&](const media::listeSupport& r) {
    return r.TypeSupport == media::kGroupHeader && r.Libelle == label;
  });
}

bool WindowHarness::SelectImage() {
  return Select([](const media::listeSupport& r) { return r.TypeSupport == media::kImage; });
}

void WindowHarness::ClearSelection() { tree().selectionModel()->clearSelection(); }

std::string WindowHarness::AddImage(const std::string& name, std::uint64_t sectors) {
  const std::string path = dir.file(name);
  demo::CreateSparseImage(path, sectors);
  dialogs.saveAnswers.push_back(QString::fromStdString(path));
  Trigger("ToolButton_AddImg");
  return path;
}

void WindowHarness::Trigger(const char* name) {
  form_->findChild<QAction*>(QString::fromLatin1(name))->trigger();
}

}  // namespace kalvorin::test
