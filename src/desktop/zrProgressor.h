// The progress window's controller: a message, a bar and the busy cursor while a driver
// does long work the user cannot see.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "desktop/DesktopBackend.h"
#include "platform/Mutex.h"

namespace trs {

// Owns the window's view (created hidden). Max is never negative. May be called from any
// thread; the view reaches the window on the main thread without making the caller wait.
class TzrProgressor {
 public:
  TzrProgressor();
  // Finish, then the window goes.
  ~TzrProgressor();
  TzrProgressor(const TzrProgressor&) = delete;
  TzrProgressor& operator=(const TzrProgressor&) = delete;

  // Busy cursor on, window topmost and shown, the message, an empty bar. Texts are narrow.
  void Start(const std::string& text, std::uint8_t mode);
  void SetMax(int max);
  void SetPosition(int position);
  void Step();
  // Shows `text` followed by "，请稍候 ...".
  void SetMessage(const std::string& text);
  // Out of the topmost band, full bar, busy cursor off (one level), hidden.
  void Finish();
  void ProcessPaintMessages();

  std::uint8_t Mode() const;
  int Max() const;
  int Position() const;
  std::string Message() const;

 private:
  void SetPositionLocked(int position) TRS_REQUIRES(Lock);
  void SetMessageLocked(const std::string& text) TRS_REQUIRES(Lock);

  mutable TMutex Lock;
  std::unique_ptr<IProgressView> Form;
  std::uint8_t ModeValue TRS_GUARDED_BY(Lock) = 0;
  int MaxValue TRS_GUARDED_BY(Lock) = 0;
  int PositionValue TRS_GUARDED_BY(Lock) = 0;
  std::string MessageValue TRS_GUARDED_BY(Lock);
};

}  // namespace trs
