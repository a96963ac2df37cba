#pragma once

// Yes/No questions to the user, asked through one replaceable handler.

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
