#include "ui/DialogService.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "device/WindowsLayouts.h"

namespace kalvorin::ui {

namespace {

QMessageBox::Icon IconOfStyle(std::uint32_t style) {
  switch (style & 0xF0) {
    case device::kMbIconError:
      return QMessageBox::Critical;
    case device::kMbIconQuestion:
      return QMessageBox::Question;
    case device::kMbIconWarning:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

// The texts break lines as the Windows message box does: "\n", "\r", and
// the pairs "\r\n" and "\n\r" each make one line break.
QString MessageLines(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

int QtDialogService::MessageBox(const QString& text, const QString& caption, std::uint32_t style) {
  QMessageBox box(IconOfStyle(style), caption, MessageLines(text), QMessageBox::NoButton, nullptr);
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);
  struct Choice {
    const char* label;
    QMessageBox::ButtonRole role;
    int answer;
  };
  std::vector<Choice> choices;
  switch (style & 0xF) {
    case device::kMbYesNo:
      choices = {{"Oui", QMessageBox::YesRole, device::kIdYes},
                 {"Non", QMessageBox::NoRole, device::kIdNo}};
      break;
    case 0x1:  // MB_OKCANCEL
      choices = {{"OK", QMessageBox::AcceptRole, device::kIdOk},
                 {"Annuler", QMessageBox::RejectRole, device::kIdCancel}};
      break;
    default:
      choices = {{"OK", QMessageBox::AcceptRole, device::kIdOk}};
      break;
  }
  std::vector<std::pair<QAbstractButton*, int>> buttons;
  for (const Choice& choice : choices) {
    buttons.emplace_back(box.addButton(QString::fromUtf8(choice.label), choice.role),
                         choice.answer);
  }
  box.setDefaultButton(static_cast<QPushButton*>(buttons.front().first));
  box.setEscapeButton(buttons.back().first);
  box.exec();
  for (const auto& [button, answer] : buttons) {
    if (box.clickedButton() == button) return answer;
  }
  return buttons.back().second;
}

QString ToQtFilter(const QString& windowsFilter) {
  const QStringList parts = windowsFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
  }
  return filters.join(QStringLiteral(";;"));
}

std::optional<QString> QtDialogService::SaveFile(const SaveFileRequest& request) {
  QFileDialog dialog(nullptr, request.title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(ToQtFilter(request.filter));
  dialog.setDefaultSuffix(request.defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
#ifndef _WIN32
  // Qt's own dialog, in French like the rest of the window: a desktop's
  // native one would speak the session's language, or none at all for a
  // program started as administrator outside the user's session.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
#endif
  dialog.setWindowModality(Qt::ApplicationModal);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return files.front();
}

int QtDialogService::RunModal(QDialog& dialog) { return dialog.exec(); }

}  // namespace kalvorin::ui
