// Saves a picture of the whole screen of an X display as PNG, so that a person can look at
// what an end-to-end run saw: trs_screenshot <file.png> (DISPLAY names the display).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trs_screenshot <file.png>\n");
    return 2;
  }
  const QString path = QString::fromLocal8Bit(argv[1]);
  qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication application(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  const QPixmap shot = screen != nullptr ? screen->grabWindow(0) : QPixmap();
  if (shot.isNull() || !shot.save(path, "PNG")) {
    std::fprintf(stderr, "trs_screenshot: no picture of the screen saved to %s\n", argv[1]);
    return 1;
  }
  return 0;
}
