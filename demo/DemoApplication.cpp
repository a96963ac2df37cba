#include "DemoApplication.h"

#include "DemoDialogs.h"

TDemoApplication::TDemoApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("kvarta"));
  setOrganizationName(QStringLiteral("Kvarta"));
}

bool TDemoApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowCurrentException(activeWindow());
    return false;
  }
}
