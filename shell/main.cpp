// vostrel: the desktop program.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Vostrel Ver" VOSTREL_VERSION));
  window.setCentralWidget(new QLabel(QStringLiteral("Vostrel"), &window));
  window.resize(480, 320);
  window.show();
  return app.exec();
}
