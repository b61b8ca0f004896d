// The progress window's controller.
#include "desktop/zrProgressor.h"

#include "desktop/DesktopUtils.h"
#include "platform/Text.h"

namespace trs {

TzrProgressor::TzrProgressor() : Form(Desktop().CreateProgressView()) {}

TzrProgressor::~TzrProgressor() { Finish(); }

void TzrProgressor::Start(const std::string& text, std::uint8_t mode) {
  BeginBusyCursor();  // counted: nested starts need as many finishes
  TLockGuard guard(Lock);
  ModeValue = mode;
  Form->SetTopmost(true);
  Form->BringToTop();
  Form->Show();
  SetMessageLocked(text);
  SetPositionLocked(0);
}

void TzrProgressor::SetMax(int max) {
  TLockGuard guard(Lock);
  MaxValue = max < 0 ? 0 : max;
  Form->SetMax(MaxValue);
}

void TzrProgressor::SetPosition(int position) {
  TLockGuard guard(Lock);
  SetPositionLocked(position);
}

void TzrProgressor::Step() {
  TLockGuard guard(Lock);
  SetPositionLocked(PositionValue + 1);
}

void TzrProgressor::SetMessage(const std::string& text) {
  TLockGuard guard(Lock);
  SetMessageLocked(text);
}

void TzrProgressor::Finish() {
  {
    TLockGuard guard(Lock);
    Form->SetTopmost(false);
    SetPositionLocked(MaxValue);  // the bar is shown full for an instant
  }
  EndBusyCursor();
  TLockGuard guard(Lock);
  if (Form->IsVisible()) {
    Form->Hide();
    Form->ProcessPaintMessages();
  }
}

void TzrProgressor::ProcessPaintMessages() { Form->ProcessPaintMessages(); }

void TzrProgressor::SetPositionLocked(int position) {
  PositionValue = position;
  Form->SetPosition(position);
  Form->ProcessPaintMessages();
}

void TzrProgressor::SetMessageLocked(const std::string& text) {
  MessageValue = text + Utf8ToNarrow("，请稍候 ...");
  Form->SetMessage(NarrowToUtf8(MessageValue));
  Form->ProcessPaintMessages();
}

std::uint8_t TzrProgressor::Mode() const {
  TLockGuard guard(Lock);
  return ModeValue;
}

int TzrProgressor::Max() const {
  TLockGuard guard(Lock);
  return MaxValue;
}

int TzrProgressor::Position() const {
  TLockGuard guard(Lock);
  return PositionValue;
}

std::string TzrProgressor::Message() const {
  TLockGuard guard(Lock);
  return MessageValue;
}

}  // namespace trs
