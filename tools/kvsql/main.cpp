#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTextStream(stdout) << "kvsql: the formatter is being built.\n";
  return 0;
}
