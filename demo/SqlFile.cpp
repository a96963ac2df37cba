#include "SqlFile.h"

#include "DemoResource.h"
#include "KvError.h"

#include <QActionGroup>
#include <QFile>
#include <QMenu>
#include <QSaveFile>
#include <QTextDocument>

using namespace DemoResource;

namespace {

// The line break the text ends with, empty for none.
QString FinalBreak(const QString& text) {
  if (text.endsWith(QLatin1String("\r\n"))) return QStringLiteral("\r\n");
  if (text.endsWith(u'\n') || text.endsWith(u'\r')) return text.right(1);
  return QString();
}

} // namespace

TSqlFile::TSqlFile(QObject* parent) : QObject(parent) {}

void TSqlFile::Load(const QString& path, QTextDocument* document, const QByteArray& hint) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw EKvError(SCannotRead.arg(path, file.errorString()));
  const QByteArray bytes = file.readAll();
  const TSqlFileText read = SqlText::Decode(bytes, hint);
  QString text = read.Text;
  m_bytes = bytes;
  m_encoding = read.Encoding;
  m_guessed = read.Guessed;
  m_lineBreak = SqlText::MainBreak(text, QStringLiteral("\n"));
  // The line break that ends the last line starts no new one.
  m_finalBreak = FinalBreak(text);
  text.chop(m_finalBreak.size());
  SqlText::SetDocumentText(document, text, m_lineBreak, false);
  m_loaded = true;
  m_loadedText = text;
  m_notice = m_guessed ? SReadAsNotice.arg(m_encoding.Name()) : QString();
  emit Changed();
}

QString TSqlFile::Text(const QTextDocument* document) const {
  return SqlText::DocumentText(document, m_lineBreak);
}

void TSqlFile::Save(const QString& path, const QTextDocument* document) {
  QString text = Text(document);
  // A file read keeps its ending; new text gets one line break at its end.
  if (m_loaded)
    text += text.isEmpty() ? QString() : m_finalBreak;
  else if (!text.isEmpty() && FinalBreak(text).isEmpty())
    text += m_lineBreak;
  const QByteArray bytes = SqlText::Encode(text, m_encoding);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw EKvError(SCannotWrite.arg(path, file.errorString()));
}

void TSqlFile::SetDesignerText(QTextDocument* document, const QString& sql) {
  SqlText::SetDocumentText(document, sql, m_lineBreak, true);
  m_loaded = false; // no longer the file's text as read
}

bool TSqlFile::ChooseEncoding(const TTextEncoding& encoding, QTextDocument* document) {
  const bool again =
      m_loaded && m_guessed && !(encoding == m_encoding) && Text(document) == m_loadedText;
  m_encoding = encoding;
  if (again) {
    QString text = SqlText::DecodeAs(m_bytes, encoding);
    m_lineBreak = SqlText::MainBreak(text, QStringLiteral("\n"));
    m_finalBreak = FinalBreak(text);
    text.chop(m_finalBreak.size());
    const bool modified = document->isModified();
    SqlText::SetDocumentText(document, text, m_lineBreak, false);
    document->setModified(modified);
    m_loadedText = text;
  }
  m_notice.clear();
  emit Changed();
  return again;
}

// ---------------------------------------------------------------------------------------------

TEncodingButton::TEncodingButton(TSqlFile* file, QTextDocument* document, QWidget* parent)
    : QToolButton(parent), m_file(file), m_document(document) {
  setObjectName(QStringLiteral("tbEncoding"));
  setAutoRaise(true);
  setToolTip(SEncodingHint);
  setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(this);
  auto* group = new QActionGroup(menu);
  for (const TTextEncoding& encoding : SqlText::Choices()) {
    QAction* action = menu->addAction(encoding.Name());
    action->setCheckable(true);
    group->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, encoding] { m_file->ChooseEncoding(encoding, m_document); });
  }
  connect(menu, &QMenu::aboutToShow, this, [this, menu] {
    for (QAction* action : menu->actions())
      action->setChecked(action->text() == m_file->Encoding().Name());
  });
  setMenu(menu);
  connect(m_file, &TSqlFile::Changed, this, &TEncodingButton::Update);
  Update();
}

void TEncodingButton::Update() {
  const QString lineBreak = m_file->LineBreak() == QLatin1String("\r\n") ? QStringLiteral("CR LF")
                            : m_file->LineBreak() == QLatin1String("\r") ? QStringLiteral("CR")
                                                                         : QStringLiteral("LF");
  setText(QStringLiteral("%1, %2").arg(m_file->Encoding().Name(), lineBreak));
}
