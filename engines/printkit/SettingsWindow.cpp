#include "SettingsWindow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

#include "PrintLog.h"
#include "PrintSettings.h"
#include "QtRuntime.h"

namespace printkit {

namespace {

constexpr char Engine[] = "PosKit";

QTabWidget* TabsOf(QWidget* editor) { return editor->findChild<QTabWidget*>("pages"); }

void Save(QWidget* editor) {
  TIniFile user = TPrintSettings::Current().User();
  QTabWidget* tabs = TabsOf(editor);
  for (int page = 0; page < tabs->count(); ++page) {
    const std::string section = tabs->widget(page)->objectName().toStdString();
    for (QLineEdit* edit : tabs->widget(page)->findChildren<QLineEdit*>()) {
      if (!edit->isModified()) continue;  // an untouched default stays a default
      user.Set(section, edit->objectName().toStdString(), edit->text().toStdString());
      edit->setModified(false);
    }
  }
  user.Save(TPrintSettings::UserFile());
  Log(Engine, "printing settings saved to " + TPrintSettings::UserFile());
}

}  // namespace

QWidget* NewSettingsEditor(QWidget* parent) {
  auto* editor = new QWidget(parent);
  editor->setWindowTitle(QStringLiteral("打印设置"));
  auto* layout = new QVBoxLayout(editor);
  auto* tabs = new QTabWidget(editor);
  tabs->setObjectName("pages");
  const TIniFile merged = TPrintSettings::Current().Merged();
  for (const std::string& section : merged.Sections()) {
    auto* page = new QWidget(tabs);
    page->setObjectName(QString::fromStdString(section));
    auto* form = new QFormLayout(page);
    for (const auto& [key, value] : merged.Entries(section)) {
      auto* edit = new QLineEdit(QString::fromStdString(value), page);
      edit->setObjectName(QString::fromStdString(key));
      form->addRow(QString::fromStdString(key), edit);
    }
    tabs->addTab(page, QString::fromStdString(section));
  }
  layout->addWidget(tabs);
  auto* buttons = new QDialogButtonBox(editor);
  QPushButton* save = buttons->addButton(QStringLiteral("保存"), QDialogButtonBox::AcceptRole);
  QPushButton* close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
  QObject::connect(save, &QPushButton::clicked, editor, [editor] {
    try {
      Save(editor);
    } catch (const std::exception& error) {
      QMessageBox::warning(editor, editor->windowTitle(), QString::fromStdString(error.what()));
    }
  });
  QObject::connect(close, &QPushButton::clicked, editor, &QWidget::close);
  layout->addWidget(buttons);
  return editor;
}

void SetPageVisible(QWidget* editor, int page, bool visible) {
  QTabWidget* tabs = TabsOf(editor);
  if (page >= 0 && page < tabs->count()) tabs->setTabVisible(page, visible);
}

void TSettingsWindow::Show() {
  if (!CanShowWindows()) {
    Log(Engine, "no display to show the printing settings on; they are in " + TPrintSettings::UserFile());
    return;
  }
  RunOnGuiThread([this] {
    if (Window == nullptr) {
      Window = NewSettingsEditor();
      Window->setAttribute(Qt::WA_DeleteOnClose);
      QObject::connect(Window, &QObject::destroyed, [this] {
        Window = nullptr;
        Shown = false;
      });
    }
    ApplyHiddenPages();
    Shown = true;
    Window->show();
    Window->raise();
  });
}

void TSettingsWindow::HidePage(int page) {
  {
    trs::TLockGuard guard(Lock);
    HiddenPages.insert(page);
  }
  if (Shown) RunOnGuiThread([this] { ApplyHiddenPages(); });
}

void TSettingsWindow::ShowAllPages() {
  {
    trs::TLockGuard guard(Lock);
    HiddenPages.clear();
  }
  if (Shown) RunOnGuiThread([this] { ApplyHiddenPages(); });
}

void TSettingsWindow::ApplyHiddenPages() {
  if (Window == nullptr) return;
  std::set<int> hidden;
  {
    trs::TLockGuard guard(Lock);
    hidden = HiddenPages;
  }
  for (int page = 0; page < TabsOf(Window)->count(); ++page) SetPageVisible(Window, page, hidden.count(page) == 0);
}

TSettingsWindow& SettingsWindow() {
  static TSettingsWindow window;
  return window;
}

}  // namespace printkit
