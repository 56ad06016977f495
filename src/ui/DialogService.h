// The modal windows the interface opens: message boxes, file-save dialogs
// and the target selection dialog. The window asks this service for them,
// so tests answer from a script instead of opening real modal windows.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class QDialog;

namespace kalvorin::ui {

struct SaveFileRequest {
  QString title;
  QString filter;         // "Image disque|*.img" form
  QString defaultSuffix;  // "img"
  QString fileName;       // the name the dialog opens on
  bool confirmOverwrite = true;
};

class DialogService {
 public:
  virtual ~DialogService() = default;
  // A message box without owner; `style` holds MB_* flags, the answer is an
  // ID* code.
  virtual int MessageBox(const QString& text, const QString& caption, std::uint32_t style) = 0;
  // The chosen file, or nullopt when cancelled.
  virtual std::optional<QString> SaveFile(const SaveFileRequest& request) = 0;
  // Shows `dialog` modally (its list already built) and returns its result code.
  virtual int RunModal(QDialog& dialog) = 0;
};

// The real modal windows, with French buttons.
class QtDialogService : public DialogService {
 public:
  int MessageBox(const QString& text, const QString& caption, std::uint32_t style) override;
  std::optional<QString> SaveFile(const SaveFileRequest& request) override;
  int RunModal(QDialog& dialog) override;
};

// A message text with its line breaks as the message box shows them.
QString MessageLines(QString text);

// "Image disque|*.img" -> "Image disque (*.img)"; pairs separated by '|'.
QString ToQtFilter(const QString& windowsFilter);

}  // namespace kalvorin::ui
