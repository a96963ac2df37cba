#pragma once

// Shared pieces of the demo tests: a private copy of the EMPLOYEE database, and stand-ins for
// the error box and the modal dialogs that record what the program showed.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

class QDialog;

// Builds the EMPLOYEE sample database in a fresh temporary folder (through the project's
// script); Path() is empty when that failed, with Errors() saying why.
class TSampleDb {
public:
  TSampleDb();
  QString Path() const { return m_path; }
  QString Errors() const { return m_errors; }
  QString Folder() const { return m_dir.path(); }

private:
  QTemporaryDir m_dir;
  QString m_path;
  QString m_errors;
};

// Records every error box while alive instead of showing it.
class TErrorBoxes {
public:
  TErrorBoxes();
  ~TErrorBoxes();
  TErrorBoxes(const TErrorBoxes&) = delete;
  TErrorBoxes& operator=(const TErrorBoxes&) = delete;
  QStringList Texts;
};

// Answers Yes/No questions while alive: each one is handed to the next answer of the script
// (Yes when the script is used up) and its text recorded.
class TQuestions {
public:
  using TAnswer = std::function<bool(const QString& text)>;
  TQuestions();
  ~TQuestions();
  TQuestions(const TQuestions&) = delete;
  TQuestions& operator=(const TQuestions&) = delete;
  void Add(TAnswer answer) { m_answers.append(std::move(answer)); }
  QStringList Texts;

private:
  QList<TAnswer> m_answers;
};

// Answers modal dialogs while alive: each one shown is handed to the next step of the script,
// whose result is the dialog's. A dialog beyond the script is cancelled and counted.
class TDialogScript {
public:
  using TStep = std::function<int(QDialog*)>;
  TDialogScript();
  ~TDialogScript();
  TDialogScript(const TDialogScript&) = delete;
  TDialogScript& operator=(const TDialogScript&) = delete;
  void Add(TStep step) { m_steps.append(std::move(step)); }
  int Shown = 0;
  int Unexpected = 0;
  bool Done() const { return m_steps.isEmpty(); }

private:
  QList<TStep> m_steps;
};

// A step that picks `path` in a file dialog and confirms it.
TDialogScript::TStep ChooseFile(const QString& path);
