#pragma once

// The application object: an error escaping an event handler is shown in the standard error box
// and ends only that action; the program keeps running.

#include <QApplication>

class TDemoApplication : public QApplication {
  Q_OBJECT
public:
  TDemoApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};
