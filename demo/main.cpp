#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Kvarta: the designer window is being built."));
  label.resize(400, 80);
  label.show();
  return app.exec();
}
