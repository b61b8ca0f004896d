#include "PreviewWindow.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "QtRuntime.h"

namespace printkit {

std::string ReceiptText(const TReceipt& receipt) {
  std::string text;
  for (const TReceiptLine& line : receipt.Lines) {
    const int width = line.Large ? receipt.Columns / 2 : receipt.Columns;
    text += PadCells(line.Text, width, line.Align);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    text += "\n";
  }
  return text;
}

bool TPreviewWindows::Show(const std::string& title, const TReceipt& receipt, std::function<void()> print) {
  if (!CanShowWindows()) return false;
  const std::string text = ReceiptText(receipt);
  ++Open;
  RunOnGuiThread([this, title, text, print = std::move(print)] {
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QString::fromStdString(title));
    auto* layout = new QVBoxLayout(window);
    auto* view = new QPlainTextEdit(QString::fromStdString(text), window);
    view->setReadOnly(true);
    QFont font("WenQuanYi Zen Hei Mono");
    font.setStyleHint(QFont::Monospace);
    view->setFont(font);
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(window);
    if (print) {
      QPushButton* printButton = buttons->addButton(QStringLiteral("打印"), QDialogButtonBox::AcceptRole);
      QObject::connect(printButton, &QPushButton::clicked, window, [window, print] {
        print();
        window->close();
      });
    }
    QPushButton* close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    QObject::connect(close, &QPushButton::clicked, window, &QWidget::close);
    QObject::connect(window, &QObject::destroyed, [this] { --Open; });
    layout->addWidget(buttons);
    window->resize(520, 640);
    window->show();
  });
  return true;
}

TPreviewWindows& PreviewWindows() {
  static TPreviewWindows windows;
  return windows;
}

}  // namespace printkit
