// The reference for bench_tray: the least a Qt 6 Widgets tray program does (an application,
// a hidden window and a tray icon with a menu), announcing itself like the real program.
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QWidget hidden;
  QMenu menu;
  menu.addAction("Exit", &application, &QApplication::quit);
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::darkBlue);
  QSystemTrayIcon tray{QIcon(pixmap)};
  tray.setContextMenu(&menu);
  tray.show();
  std::printf("ready\n");
  std::fflush(stdout);
  return QApplication::exec();
}
