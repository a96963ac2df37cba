#pragma once

// How the demo shows errors and runs its modal dialogs, each through one replaceable handler so
// that tests can answer them without blocking.

#include <QString>

#include <exception>
#include <functional>

class QDialog;
class QWidget;

using TErrorBoxHandler = std::function<void(QWidget* parent, const QString& text)>;
using TModalRunner = std::function<int(QDialog* dialog)>;
using TQuestionHandler =
    std::function<bool(QWidget* parent, const QString& caption, const QString& text)>;

// The standard error box: the message with the error icon and a single OK button.
void ShowErrorBox(QWidget* parent, const QString& text);
// Replaces how errors are shown; an empty handler brings back the message box. Returns the
// handler that was in place.
TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler);

// A Yes/No question with the question icon; true for Yes.
bool AskYesNo(QWidget* parent, const QString& caption, const QString& text);
// Replaces how questions are asked (e.g. by a test that answers them); an empty handler brings
// back the message box. Returns the handler that was in place.
TQuestionHandler SetQuestionHandler(TQuestionHandler handler);

// The text of an error as the user should read it.
QString ErrorText(const std::exception& error);
// Shows the exception being handled (call from inside a catch block).
void ShowCurrentException(QWidget* parent);

// Runs `dialog` modally and returns its result (QDialog::Accepted or Rejected).
int RunModal(QDialog* dialog);
// Replaces how modal dialogs run, e.g. by a test that fills and accepts them; an empty runner
// brings back exec(). Returns the runner that was in place.
TModalRunner SetModalRunner(TModalRunner runner);
