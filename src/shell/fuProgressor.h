// The progress window: a borderless, half-transparent, topmost box in the middle of the
// screen with a message, an icon and a bar.
#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QProgressBar;

namespace trs {

// Created hidden; lives on the main thread (TzrProgressor reaches it through the backend).
class TfmProgressor : public QWidget {
 public:
  static constexpr int ClientWidth = 295;
  static constexpr int ClientHeight = 65;
  static constexpr int AlphaValue = 200;  // of 255

  TfmProgressor();

  // Puts the window into the topmost band or takes it out, keeping its place.
  void SetTopmost(bool topmost);
  // Shows the window in the centre of the screen.
  void ShowCentred();
  void SetMessage(const QString& text);
  void SetMax(int max);
  void SetPosition(int position);

 private:
  QFrame* pMain;
  QLabel* lbMain;
  QLabel* Image1;
  QProgressBar* pbMain;
};

}  // namespace trs
