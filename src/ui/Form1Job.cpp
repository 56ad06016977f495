// The start/stop button: validation of a copy and the run of the prepared job.
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>

#include "device/WindowsLayouts.h"
#include "jobs/CopyParameters.h"
#include "jobs/Jobs.h"
#include "ui/Form1.h"

namespace kalvorin::ui {

namespace {
constexpr std::uint32_t kRefusalStyle = device::kMbIconError | device::kMbSystemModal;
}

void Form1::RefuseInput(const std::string& text) {
  MessageBox(text, "Saisie invalide", kRefusalStyle);
}

void Form1::Button_TraitementClick() {
  if (jobActive_) {
    // A click handled inside the running job. Its media and its report
    // stay held until it returns (end dialogs included), so a stop only
    // asks it to end, and a click after that does nothing.
    if (job_.TraitementEnCours) {
      job_.TraitementEnCours = false;
      SetButtonRunning(false);
      Button_Traitement_->setEnabled(false);
    }
    return;
  }
  job_.TraitementEnCours = true;
  jobActive_ = true;
  SetButtonRunning(true);
  Panel1_->setEnabled(false);
  RunPreparedJob();
  jobActive_ = false;
  job_.TraitementEnCours = false;
  SetButtonRunning(false);
  Button_Traitement_->setEnabled(true);
  Panel1_->setEnabled(true);
}

void Form1::closeEvent(QCloseEvent* event) {
  if (jobActive_) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void Form1::RunPreparedJob() {
  media::listeSupport* source = job_.SupportSource;
  if (!source) return;
  jobs::JobContext context{platform_, *this, state_.CheminProgramme, job_.LibelleSource,
                           state_.NumDisqueProgramme};
  switch (job_.TypeTraitement) {
    case kJobCheck:
      jobs::ControlerSupport(context, *source, job_.FirstSctSource, job_.NBSctTraitement);
      return;
    case kJobErase:
      jobs::FormaterSupport(context, *source, job_.FirstSctSource, job_.NBSctTraitement);
      return;
    case kJobCopy: {
      media::listeSupport* target = job_.SupportCible;
      if (!target) return;
      // "Fichier" may replace job_.targetFile while the copy runs.
      const std::shared_ptr<media::listeSupport> heldTarget = job_.targetFile;
      if (!ReadCopyFields() || !CopyTargetAccepted()) return;
      jobs::CopierSupport(context, *source, *target, job_.FirstSctSource, job_.FirstSctCible,
                          job_.NBSctTraitement);
      return;
    }
    default:
      return;
  }
}

bool Form1::ReadCopyFields() {
  struct Field {
    QLineEdit* edit;
    const char* label;
    std::uint64_t minimum;
    std::uint64_t* value;
  };
  const Field fields[] = {
      {Edit_FirstSctSource_, "1er Secteur source", 0, &job_.FirstSctSource},
      {Edit_FirstSctCible_, "1er Secteur cible", 0, &job_.FirstSctCible},
      {Edit_NBSctCopie_, "Nombre de secteurs à copier", 1, &job_.NBSctTraitement},
  };
  for (const Field& field : fields) {
    const std::optional<std::uint64_t> value =
        jobs::ReadSectorField(field.edit->text().trimmed().toStdString());
    if (!value || *value < field.minimum) {
      RefuseInput(jobs::InvalidFieldMessage(field.label, field.minimum));
      field.edit->setFocus();
      return false;
    }
    *field.value = *value;
  }
  if (const auto refusal =
          jobs::RangeRefusal(job_.FirstSctSource, job_.FirstSctCible, job_.NBSctTraitement)) {
    RefuseInput(*refusal);
    return false;
  }
  return true;
}

bool Form1::CopyTargetAccepted() {
  const media::listeSupport& target = *job_.SupportCible;
  if (target.TypeSupport != media::kPhysical && target.TypeSupport != media::kImage) return false;
  if (const auto refusal = jobs::CopyTargetRefusal(platform_, *job_.SupportSource, target,
                                                   job_.FirstSctCible, job_.NBSctTraitement)) {
    RefuseInput(*refusal);
    return false;
  }
  return true;
}

}  // namespace kalvorin::ui
