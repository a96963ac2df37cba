#include "DbWait.h"

#include "DemoResource.h"
#include "FbError.h"
#include "FbWorker.h"

#include <ibase.h>

#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>

using namespace DemoResource;

TBusyIndicator::TBusyIndicator(QWidget* parent)
    : QWidget(parent), m_bar(new QProgressBar), m_text(new QLabel), m_cancel(new QToolButton) {
  setObjectName(QStringLiteral("BusyIndicator"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_bar->setRange(0, 0); // moves without a known end
  m_bar->setTextVisible(false);
  m_bar->setMaximumSize(80, 14);
  m_cancel->setText(SBusyCancel);
  m_cancel->setToolTip(SBusyCancelHint);
  m_cancel->setAutoRaise(true);
  connect(m_cancel, &QToolButton::clicked, this, [this] {
    if (!m_onCancel) return;
    m_onCancel();
    // A server that does not answer keeps the wait going until it gives up.
    m_text->setText(SBusyStopping);
    m_cancel->setEnabled(false);
  });
  layout->addWidget(m_bar);
  layout->addWidget(m_text);
  layout->addWidget(m_cancel);
  hide();
}

void TBusyIndicator::Start(const QString& text, std::function<void()> cancel) {
  m_text->setText(text);
  m_onCancel = std::move(cancel);
  m_cancel->setEnabled(true);
  show();
}

void TBusyIndicator::Stop() {
  m_onCancel = nullptr;
  hide();
}

QString TBusyIndicator::Text() const {
  return isVisible() ? m_text->text() : QString();
}

namespace {

// Holds back input to the waiting window; Esc and a click on Cancel cancel instead.
class TInputGuard : public QObject {
public:
  TInputGuard(QWidget* window, TBusyIndicator* indicator, std::function<void()> cancel)
      : m_window(window), m_indicator(indicator), m_cancel(std::move(cancel)) {
    qApp->installEventFilter(this);
  }
  ~TInputGuard() override { qApp->removeEventFilter(this); }
  bool CloseAsked = false;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    // Dialogs (an error box shown meanwhile) take their input as usual.
    if (!widget || widget->window() != m_window) return false;
    if (m_indicator && m_indicator->isAncestorOf(widget)) return false;
    switch (event->type()) {
    case QEvent::Close:
      if (widget != m_window || !event->spontaneous()) return false;
      CloseAsked = true;
      m_cancel();
      event->ignore();
      return true;
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) return true;
      if (m_indicator && m_indicator->isVisible() && m_indicator->CancelButton()->isEnabled())
        m_indicator->CancelButton()->click(); // says that it stops
      else
        m_cancel();
      return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
      return true;
    default:
      return false;
    }
  }

private:
  QWidget* m_window;
  TBusyIndicator* m_indicator;
  std::function<void()> m_cancel;
};

} // namespace

void TDbWait::Run(TFbWorker& worker, QWidget* window, TBusyIndicator* indicator,
                  const QString& what, const std::function<void(TFbDatabase&)>& work,
                  bool* closeAsked) {
  QEventLoop loop;
  bool done = false;
  TFbJobResult result;
  const quint64 job = worker.Post([&work](TFbJob& j) { work(j.Database()); },
                                  [&](const TFbJobResult& r) {
                                    result = r;
                                    done = true;
                                    loop.quit();
                                  });
  const auto cancel = [&worker, job] { worker.Cancel(job); };
  {
    TInputGuard guard(window, indicator, cancel);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Quick answers show no indicator; slow ones say what is waited for and offer Cancel.
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, [&] {
      QApplication::changeOverrideCursor(Qt::BusyCursor);
      if (indicator) indicator->Start(what, cancel);
    });
    later.start(400);
    if (!done) loop.exec();
    // The loop also ends when the program is told to quit: the work, which uses the caller's
    // data, must end first all the same.
    if (!done) worker.Cancel(job);
    while (!done) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      QThread::msleep(5);
    }
    later.stop();
    if (indicator) indicator->Stop();
    QApplication::restoreOverrideCursor();
    if (closeAsked && guard.CloseAsked) *closeAsked = true;
  }
  if (result.Failed)
    throw EFbError(result.Error, result.Cancelled ? isc_cancelled : 0, result.ConnectionLost);
}
