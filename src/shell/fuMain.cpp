// The tray window.
#include "shell/fuMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "desktop/DesktopUtils.h"
#include "desktop/LogLine.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "shell/DesktopNotification.h"

namespace trs {

namespace {

QString FromNarrow(const std::string& text) { return QString::fromStdString(NarrowToUtf8(text)); }
std::string ToNarrow(const QString& text) { return Utf8ToNarrow(text.toStdString()); }

// How long the tray host may take to appear (it may start after us at login) before the
// program says that it cannot be seen.
constexpr int NotificationAreaGraceMs = 5000;

// The form's size as designed, and the room that the window manager's title bar takes
// besides the caption (the window icon and up to four buttons, with their margins).
constexpr int DesignWidth = 226;
constexpr int DesignHeight = 115;
constexpr int CaptionDecorationsWidth = 120;

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
  edtPort->setGeometry(84, 28, 91, 21);
  edtPort->installEventFilter(this);

  btnApp = new QPushButton(QStringLiteral("修改"), pnl1);
  btnApp->setObjectName("btnApp");
  btnApp->setGeometry(71, 58, 75, 25);
  connect(btnApp, &QPushButton::clicked, this, &TfmMain::btnAppClick);

  // Not a child of the form: a box that is modal to the form must leave the tray menu live.
  pm1 = new QMenu();
  pm1->setObjectName("pm1");
  nModifyPort = pm1->addAction(QStringLiteral("修改端口"));
  nModifyPort->setObjectName("nModifyPort");
  nVersion = pm1->addAction(QStringLiteral("版本号"));
  nVersion->setObjectName("nVersion");
  nExit = pm1->addAction(QStringLiteral("退出"));
  nExit->setObjectName("nExit");
  connect(nModifyPort, &QAction::triggered, this, &TfmMain::nModifyPortClick);
  connect(nExit, &QAction::triggered, this, &TfmMain::nExitClick);

  FitToCaption();
}

TfmMain::~TfmMain() {
  // The icon goes before the endpoint, as the form's destruction has it.
  delete Tray;
  Tray = nullptr;
  delete pm1;
}

bool TfmMain::FormCreate(int initialPort) {
  try {
    ServiceShell.CreateServer(initialPort);
  } catch (const std::exception& error) {
    ShowErrorBox(error.what(), false);  // the application's error report
    return false;
  }
  // From here an error skips the remaining steps only: the service runs on (on the start
  // port when PORT is bad), with the tray icon and the form from which to mend it.
  try {
    Tray = new QSystemTrayIcon(ApplicationIcon(), this);
    Tray->setObjectName("TrayIcon");
    Tray->setToolTip(QString::fromUtf8(ApplicationTitle()));
    connect(Tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
    Tray->show();
    QTimer::singleShot(NotificationAreaGraceMs, this, [this] { CheckNotificationArea(); });

    if (std::optional<std::string> port = ServiceShell.LoadPort()) edtPort->setText(FromNarrow(*port));

    const QString version = FromNarrow(getVersion());
    setWindowTitle(windowTitle() + QLatin1Char(' ') + version);
    FitToCaption();
    nVersion->setText(QStringLiteral("版本号：") + version);
  } catch (const std::exception& error) {
    ShowErrorBox(error.what(), false);
  }
  return true;
}

bool TfmMain::CheckNotificationArea() {
  if (QSystemTrayIcon::isSystemTrayAvailable()) return true;
  const std::string pid = std::to_string(QCoreApplication::applicationPid());
  LogLine("this desktop has no notification area, so the tray icon and the port form cannot "
          "be shown; the service runs on (process " + pid + ": stop it with 'kill " + pid +
          "'; the README says how to run it as a user service instead)");
  SendDesktopNotification(QString::fromUtf8(ApplicationTitle()),
                          QStringLiteral("打印服务正在运行，但此桌面没有通知区域，无法显示托盘图标。停止服务：kill ") +
                              QString::fromStdString(pid));
  return false;
}

void TfmMain::OnTrayActivated(int reason) {
  if (reason == QSystemTrayIcon::DoubleClick) {
    if (isVisible())
      hide();
    else
      ShowPortForm();
  } else if (reason == QSystemTrayIcon::Context) {
    pm1->popup(QCursor::pos());
  }
}

void TfmMain::ShowPortForm() {
  show();
  raise();
  activateWindow();
  // Typing replaces the port at once.
  edtPort->setFocus(Qt::OtherFocusReason);
  edtPort->selectAll();
}

void TfmMain::nModifyPortClick() { ShowPortForm(); }

void TfmMain::FitToCaption() {
  // The window manager draws the caption in a bold font beside its buttons, and some draw
  // buttons that the form does not ask for (openbox keeps minimize whatever the hints say):
  // the form grows until the whole caption fits, the panel staying in its middle.
  QFont captionFont = QApplication::font();
  captionFont.setBold(true);
  const int captionWidth = QFontMetrics(captionFont).horizontalAdvance(windowTitle());
  const int width = std::max(DesignWidth, captionWidth + CaptionDecorationsWidth);
  setFixedSize(width, DesignHeight);
  pnl1->move((width - pnl1->width()) / 2, pnl1->y());
}

void TfmMain::nExitClick() {
  ServiceShell.Stop();
  // exit, not quit: quit first asks every window to close, and the form refuses (it only
  // hides), which would cancel the exit while the form is open.
  QCoreApplication::exit(EXIT_SUCCESS);
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

bool TfmMain::IsDroppedPortKey(const QKeyEvent& key) const {
  // Keys that type nothing (arrows, Delete, Home, End) always work.
  const QString text = key.text();
  if (text.isEmpty()) return false;
  const QChar typed = text.front();
  if (typed == QChar(8)) return false;  // backspace
  if (!(typed >= QLatin1Char('0') && typed <= QLatin1Char('9'))) return true;
  // The limit holds for typing only: a longer value from CONFIG.CFG is shown whole and can
  // be shortened, not lengthened.
  const qsizetype lengthAfter = edtPort->text().size() - edtPort->selectedText().size() + 1;
  return lengthAfter > MaxTypedPortLength;
}

}  // namespace trs
