// The progress window's widgets.
#include "shell/fuProgressor.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>

namespace trs {

TfmProgressor::TfmProgressor()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("fmProgressor");
  setFixedSize(ClientWidth, ClientHeight);
  setWindowOpacity(AlphaValue / 255.0);
  QFont font(QStringLiteral("宋体"));
  font.setPixelSize(12);
  setFont(font);

  pMain = new QFrame(this);
  pMain->setObjectName("pMain");
  pMain->setFrameShape(QFrame::Panel);
  pMain->setGeometry(0, 0, ClientWidth, ClientHeight);

  lbMain = new QLabel(QStringLiteral("正在执行数据处理，请稍等"), pMain);
  lbMain->setObjectName("lbMain");
  lbMain->setGeometry(43, 18, 246, 24);
  lbMain->setWordWrap(true);
  QFont bold = font;
  bold.setBold(true);
  lbMain->setFont(bold);
  lbMain->setStyleSheet(QStringLiteral("color: navy; background: transparent;"));

  Image1 = new QLabel(pMain);
  Image1->setObjectName("Image1");
  Image1->setGeometry(2, 8, 32, 32);
  Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));

  pbMain = new QProgressBar(pMain);
  pbMain->setObjectName("pbMain");
  pbMain->setGeometry(1, 47, 293, 17);
  pbMain->setTextVisible(false);
  SetMax(0);
}

void TfmProgressor::SetTopmost(bool topmost) {
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
  if (visible) show();  // changing the flags hides a window
}

void TfmProgressor::ShowCentred() {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  show();
  raise();
}

void TfmProgressor::SetMessage(const QString& text) { lbMain->setText(text); }

void TfmProgressor::SetMax(int max) {
  // A range of 0..0 would make Qt's bar a busy indicator; the bar stays empty instead.
  pbMain->setMaximum(max > 0 ? max : 1);
  if (max <= 0) pbMain->setValue(0);
}

void TfmProgressor::SetPosition(int position) { pbMain->setValue(position); }

}  // namespace trs
