#include "DemoDialogs.h"

#include "DemoResource.h"
#include "KvError.h"

#include <QDialog>
#include <QMessageBox>

namespace {

TErrorBoxHandler& ErrorHandler() {
  static TErrorBoxHandler handler;
  return handler;
}

TQuestionHandler& QuestionHandler() {
  static TQuestionHandler handler;
  return handler;
}

TModalRunner& Runner() {
  static TModalRunner runner;
  return runner;
}

} // namespace

void ShowErrorBox(QWidget* parent, const QString& text) {
  if (ErrorHandler()) {
    ErrorHandler()(parent, text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, DemoResource::SAppTitle, text, QMessageBox::Ok, parent);
  box.exec();
}

TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler) {
  TErrorBoxHandler old = std::move(ErrorHandler());
  ErrorHandler() = std::move(handler);
  return old;
}

bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
  if (QuestionHandler()) return QuestionHandler()(parent, caption, text);
  return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

TQuestionHandler SetQuestionHandler(TQuestionHandler handler) {
  TQuestionHandler old = std::move(QuestionHandler());
  QuestionHandler() = std::move(handler);
  return old;
}

QString ErrorText(const std::exception& error) {
  if (const auto* own = dynamic_cast<const EKvError*>(&error)) return own->Message();
  return QString::fromLocal8Bit(error.what());
}

void ShowCurrentException(QWidget* parent) {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowErrorBox(parent, ErrorText(error));
  } catch (...) {
    ShowErrorBox(parent, DemoResource::SUnknownError);
  }
}

int RunModal(QDialog* dialog) {
  if (Runner()) return Runner()(dialog);
  return dialog->exec();
}

TModalRunner SetModalRunner(TModalRunner runner) {
  TModalRunner old = std::move(Runner());
  Runner() = std::move(runner);
  return old;
}
