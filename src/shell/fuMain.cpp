// The tray window.
#include "shell/fuMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "desktop/DesktopUtils.h"
#include "desktop/LogLine.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs {

namespace {

QString FromNarrow(const std::string& text) { return QString::fromStdString(NarrowToUtf8(text)); }
std::string ToNarrow(const QString& text) { return Utf8ToNarrow(text.toStdString()); }

// The port edit takes digits and backspace; every other typed character is dropped (keys
// that type nothing, such as the arrows and Delete, still work).
bool IsDroppedPortKey(const QKeyEvent& key) {
  const QString text = key.text();
  if (text.isEmpty()) return false;
  const QChar typed = text.front();
  return !(typed >= QLatin1Char('0') && typed <= QLatin1Char('9')) && typed != QChar(8);
}

}  // namespace

QIcon ApplicationIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(30, 60, 120), 2));
  painter.setBrush(QColor(250, 250, 250));
  painter.drawRect(9, 3, 14, 10);                 // paper going in
  painter.setBrush(QColor(60, 110, 190));
  painter.drawRoundedRect(3, 12, 26, 12, 3, 3);   // the printer's body
  painter.setBrush(QColor(250, 250, 250));
  painter.drawRect(9, 20, 14, 9);                 // the printed page
  painter.end();
  return QIcon(pixmap);
}

TfmMain::TfmMain()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName("fmMain");
  setWindowTitle(QString::fromUtf8(CaptionBase));
  setWindowIcon(ApplicationIcon());
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  setFont(font);

  pnl1 = new QFrame(this);
  pnl1->setObjectName("pnl1");
  pnl1->setFrameShape(QFrame::StyledPanel);
  pnl1->setGeometry(8, 8, 210, 99);

  lbl1 = new QLabel(QStringLiteral("端口号"), pnl1);
  lbl1->setObjectName("lbl1");
  QFont labelFont(QStringLiteral("宋体"));
  labelFont.setPixelSize(13);
  lbl1->setFont(labelFont);
  lbl1->move(28, 32);

  edtPort = new QLineEdit(QStringLiteral("29709"), pnl1);
  edtPort->setObjectName("edtPort");
  edtPort->setMaxLength(5);
  edtPort->setGeometry(84, 28, 91, 21);
  edtPort->installEventFilter(this);

  btnApp = new QPushButton(QStringLiteral("修改"), pnl1);
  btnApp->setObjectName("btnApp");
  btnApp->setGeometry(71, 58, 75, 25);
  connect(btnApp, &QPushButton::clicked, this, &TfmMain::btnAppClick);

  pm1 = new QMenu(this);
  pm1->setObjectName("pm1");
  nModifyPort = pm1->addAction(QStringLiteral("修改端口"));
  nModifyPort->setObjectName("nModifyPort");
  nVersion = pm1->addAction(QStringLiteral("版本号"));
  nVersion->setObjectName("nVersion");
  nExit = pm1->addAction(QStringLiteral("退出"));
  nExit->setObjectName("nExit");
  connect(nModifyPort, &QAction::triggered, this, &TfmMain::nModifyPortClick);
  connect(nExit, &QAction::triggered, this, &TfmMain::nExitClick);

  setFixedSize(226, 115);
}

TfmMain::~TfmMain() {
  // The icon goes before the endpoint, as the form's destruction has it.
  delete Tray;
  Tray = nullptr;
}

bool TfmMain::FormCreate(int initialPort) {
  try {
    ServiceShell.CreateServer(initialPort);

    Tray = new QSystemTrayIcon(ApplicationIcon(), this);
    Tray->setObjectName("TrayIcon");
    Tray->setToolTip(QString::fromUtf8(ApplicationTitle()));
    connect(Tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
    Tray->show();
    if (!QSystemTrayIcon::isSystemTrayAvailable())
      LogLine("this desktop shows no tray icons: the port form cannot be opened from the tray");

    if (std::optional<std::string> port = ServiceShell.LoadPort()) edtPort->setText(FromNarrow(*port));

    const QString version = FromNarrow(getVersion());
    setWindowTitle(windowTitle() + QLatin1Char(' ') + version);
    nVersion->setText(QStringLiteral("版本号：") + version);
    return true;
  } catch (const std::exception& error) {
    ShowErrorBox(error.what(), false);  // the application's error report
    return false;
  }
}

void TfmMain::OnTrayActivated(int reason) {
  if (reason == QSystemTrayIcon::DoubleClick)
    setVisible(!isVisible());
  else if (reason == QSystemTrayIcon::Context)
    pm1->popup(QCursor::pos());
}

void TfmMain::nModifyPortClick() {
  show();
  raise();
  activateWindow();
}

void TfmMain::nExitClick() {
  ServiceShell.Stop();
  QApplication::quit();
}

void TfmMain::btnAppClick() {
  try {
    ServiceShell.ChangePort(ToNarrow(edtPort->text()));
    hide();
  } catch (const std::exception& error) {
    ShowErrorBox(error.what(), false);  // the form stays up, for another try
  }
}

void TfmMain::closeEvent(QCloseEvent* event) {
  hide();
  event->ignore();  // only the tray menu's exit ends the program
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edtPort && event->type() == QEvent::KeyPress &&
      IsDroppedPortKey(*static_cast<QKeyEvent*>(event)))
    return true;
  return QWidget::eventFilter(watched, event);
}

}  // namespace trs
