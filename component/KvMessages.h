#pragma once

// Yes/No questions and error messages to the user, each through one replaceable handler.

#include <QString>

#include <functional>

class QWidget;

using TKvQuestionHandler =
    std::function<bool(QWidget* parent, const QString& caption, const QString& text)>;

// True when the user answers Yes (a question-icon message box with Yes and No by default).
bool KvAskYesNo(QWidget* parent, const QString& caption, const QString& text);

// Replaces how questions are asked, e.g. by a test that answers them; an empty handler brings
// back the message box. Returns the handler that was in place.
TKvQuestionHandler KvSetQuestionHandler(TKvQuestionHandler handler);

using TKvErrorHandler = std::function<void(QWidget* parent, const QString& text)>;

// Shows an error (a critical message box with OK by default).
void KvShowError(QWidget* parent, const QString& text);
// Replaces how errors are shown; an empty handler brings back the message box. Returns the
// handler that was in place.
TKvErrorHandler KvSetErrorHandler(TKvErrorHandler handler);
