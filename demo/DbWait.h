#pragma once

// Waiting for the designer's connection without freezing: the work runs on the database
// worker while the window goes on painting; input to the window is held back meanwhile, except
// Esc and the busy indicator's Cancel, which cancel the work.

#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QToolButton;
class TFbDatabase;
class TFbWorker;

// What the status bar shows while the window waits: a moving bar, what is waited for, Cancel.
class TBusyIndicator : public QWidget {
  Q_OBJECT
public:
  explicit TBusyIndicator(QWidget* parent = nullptr);
  void Start(const QString& text, std::function<void()> cancel);
  void Stop();
  QToolButton* CancelButton() const { return m_cancel; }
  QString Text() const;

private:
  QProgressBar* m_bar;
  QLabel* m_text;
  QToolButton* m_cancel;
  std::function<void()> m_onCancel;
};

class TDbWait {
public:
  // Runs `work` on the worker's thread and returns when it is done, raising its error
  // (EFbError). `window` is the one whose input waits; the indicator shows after a moment.
  // When the user asked to close the window meanwhile, `closeAsked` is set.
  static void Run(TFbWorker& worker, QWidget* window, TBusyIndicator* indicator,
                  const QString& what, const std::function<void(TFbDatabase&)>& work,
                  bool* closeAsked = nullptr);
};
