#include "ui/main/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace vistrel {
namespace {

MessageRecorder& Recorder() {
  static MessageRecorder recorder;
  return recorder;
}

QWidget* BoxParent() { return QApplication::activeWindow(); }

Language& CurrentLanguage() {
  static Language language = Language::kEnglish;
  return language;
}

}  // namespace

void SetUiLanguage(Language language) { CurrentLanguage() = language; }
Language UiLanguage() { return CurrentLanguage(); }

QString MessageIn(const QString& message) {
  return QString::fromStdString(vistrel::MessageIn(message.toStdString(), CurrentLanguage()));
}

QString ErrorBoxText(const QString& message) {
  const QString text = MessageIn(message);
  if (!text.isEmpty() && text.back() > QChar('.')) return text + '.';
  return text;
}

void SetMessageRecorder(MessageRecorder recorder) { Recorder() = std::move(recorder); }

void ShowErrorBox(const QString& message) {
  const QString text = ErrorBoxText(message);
  if (Recorder()) {
    Recorder()(MessageKind::kError, text);
    return;
  }
  QMessageBox::critical(BoxParent(), kProgramTitle, text);
}

void ShowMessageBox(const QString& message) {
  if (Recorder()) {
    Recorder()(MessageKind::kInformation, message);
    return;
  }
  QMessageBox::information(BoxParent(), kProgramTitle, message);
}

void ShowWarningBox(const QString& message) {
  if (Recorder()) {
    Recorder()(MessageKind::kWarning, message);
    return;
  }
  QMessageBox::warning(BoxParent(), kProgramTitle, message);
}

bool ConfirmBox(QWidget* parent, const QString& message) {
  if (Recorder()) return Recorder()(MessageKind::kConfirmation, message) != 0;
  QMessageBox box(QMessageBox::Question, QCoreApplication::translate("vistrel", "Confirmation"),
                  message, QMessageBox::NoButton, parent);
  QPushButton* yes =
      box.addButton(QCoreApplication::translate("vistrel", "&Yes"), QMessageBox::YesRole);
  box.addButton(QCoreApplication::translate("vistrel", "&No"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.exec();
  return box.clickedButton() == yes;
}

SaveAnswer SaveChangesBox(QWidget* parent, const QString& message) {
  if (Recorder()) return static_cast<SaveAnswer>(Recorder()(MessageKind::kSaveChanges, message));
  QMessageBox box(QMessageBox::Warning, kProgramTitle, message,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save:
      return SaveAnswer::kSave;
    case QMessageBox::Discard:
      return SaveAnswer::kDiscard;
    default:
      return SaveAnswer::kCancel;
  }
}

}  // namespace vistrel
