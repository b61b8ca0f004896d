// Animated cursor files (RIFF "ACON", .ani): their frames as icon files and their steps, for
// the desktop backend that shows the busy cursor. No toolkit here: the backend decodes the
// frames with its own image reader.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trs {

// One frame of the cursor. ImageFile is a complete .ico file (type 1) holding every usable
// image of the frame: a cursor frame (.cur) is rewritten as an icon, because common image
// readers take .ico but not .cur; its entries get planes 1 and the image's own bit count
// (32 for a PNG image). The hotspot is the first cursor entry's, (0, 0) for an icon frame.
struct TAniFrame {
  std::string ImageFile;
  int HotspotX = 0;
  int HotspotY = 0;
};

// One step of the animation: which frame to show (an index into TAniCursor::Frames) and
// for how long.
struct TAniStep {
  int Frame = 0;
  int DurationMs = 0;
};

// A parsed animated cursor. Invariants: Frames and Steps are not empty, every step names a
// frame in Frames, and every duration is at least one jiffy (17 ms).
struct TAniCursor {
  std::vector<TAniFrame> Frames;
  std::vector<TAniStep> Steps;
};

// Reads the bytes of an .ani file; nullopt when they hold no usable cursor. The frames are
// those present, whatever the header counts; a frame whose icon file is malformed is left
// out, and so are the steps that name it or a frame that is not there. Steps follow the
// "seq " chunk when there is one (else the frames in order) and last the "rate" chunk's
// jiffies (else the header's display rate), at 1/60 s each.
std::optional<TAniCursor> ParseAniCursor(std::string_view bytes);

// The same for a file; nullopt also when it cannot be read.
std::optional<TAniCursor> LoadAniCursorFile(const std::string& path);

}  // namespace trs
