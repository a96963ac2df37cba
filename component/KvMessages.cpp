#include "KvMessages.h"

#include "KvResource.h"

#include <QMessageBox>

namespace {

TKvQuestionHandler& Handler() {
  static TKvQuestionHandler handler;
  return handler;
}

TKvErrorHandler& ErrorHandler() {
  static TKvErrorHandler handler;
  return handler;
}

} // namespace

bool KvAskYesNo(QWidget* parent, const QString& caption, const QString& text) {
  if (Handler()) return Handler()(parent, caption, text);
  return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) != QMessageBox::No;
}

TKvQuestionHandler KvSetQuestionHandler(TKvQuestionHandler handler) {
  TKvQuestionHandler old = std::move(Handler());
  Handler() = std::move(handler);
  return old;
}

void KvShowError(QWidget* parent, const QString& text) {
  if (ErrorHandler()) {
    ErrorHandler()(parent, text);
    return;
  }
  QMessageBox::critical(parent, KvResource::SErrorCaption, text);
}

TKvErrorHandler KvSetErrorHandler(TKvErrorHandler handler) {
  TKvErrorHandler old = std::move(ErrorHandler());
  ErrorHandler() = std::move(handler);
  return old;
}
