#include "DemoTestSupport.h"

#include "DemoDialogs.h"

#include <QFileDialog>
#include <QProcess>

TSampleDb::TSampleDb() {
  if (!m_dir.isValid()) {
    m_errors = QStringLiteral("no temporary folder");
    return;
  }
  QProcess script;
  script.start(QStringLiteral("bash"),
               {QStringLiteral(KV_SOURCE_DIR "/scripts/make-sample-db.sh"), m_dir.path()});
  if (!script.waitForFinished(120000) || script.exitCode() != 0) {
    m_errors = QString::fromLocal8Bit(script.readAllStandardError());
    return;
  }
  m_path = QString::fromLocal8Bit(script.readAllStandardOutput()).trimmed();
}

TErrorBoxes::TErrorBoxes() {
  SetErrorBoxHandler([this](QWidget*, const QString& text) { Texts.append(text); });
}

TErrorBoxes::~TErrorBoxes() {
  SetErrorBoxHandler(nullptr);
}

TQuestions::TQuestions() {
  SetQuestionHandler([this](QWidget*, const QString&, const QString& text) {
    Texts.append(text);
    return m_answers.isEmpty() ? true : m_answers.takeFirst()(text);
  });
}

TQuestions::~TQuestions() {
  SetQuestionHandler(nullptr);
}

TDialogScript::TDialogScript() {
  SetModalRunner([this](QDialog* dialog) {
    ++Shown;
    if (m_steps.isEmpty()) {
      ++Unexpected;
      return int(QDialog::Rejected);
    }
    const TStep step = m_steps.takeFirst();
    return step(dialog);
  });
}

TDialogScript::~TDialogScript() {
  SetModalRunner(nullptr);
}

TDialogScript::TStep ChooseFile(const QString& path) {
  return [path](QDialog* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    if (!files) return int(QDialog::Rejected);
    files->selectFile(path);
    return int(QDialog::Accepted);
  };
}
