// The main window as the logic sees it (media::WindowPort).
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "ui/Form1.h"

namespace kalvorin::ui {

int Form1::MessageBox(const std::string& text, const std::string& caption, std::uint32_t style) {
  return dialogs_.MessageBox(QString::fromStdString(text), QString::fromStdString(caption), style);
}

std::optional<std::string> Form1::SaveDialog(const media::SaveDialogSpec& spec,
                                             const std::string& fileName) {
  SaveFileRequest request{QString::fromStdString(spec.title), QString::fromStdString(spec.filter),
                          QString::fromStdString(spec.defaultExtension),
                          QString::fromStdString(fileName), true};
  const std::optional<QString> chosen = dialogs_.SaveFile(request);
  if (!chosen) return std::nullopt;
  return chosen->toStdString();
}

void Form1::SetProgress(int percent) { ProgressBar1_->setValue(percent); }

void Form1::SetStatusText(const std::string& text) {
  statusText_->setText(QString::fromStdString(text));
}

void Form1::ProcessEvents() { QCoreApplication::processEvents(); }

bool Form1::JobRunning() { return job_.TraitementEnCours; }

void Form1::StopJob() { job_.TraitementEnCours = false; }

bool Form1::IgnoreErrors() { return CheckBox_Erreur_->isChecked(); }

std::string Form1::PanelTitle() { return Label_SupportSource_->text().toStdString(); }

}  // namespace kalvorin::ui
