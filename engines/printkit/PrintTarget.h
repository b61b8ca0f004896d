// Where a job goes, as the settings name it:
//   cups:QUEUE          a queue of the CUPS server (CUPS_SERVER chooses another server)
//   tcp://HOST:PORT     a printer's raw port, usually 9100
//   /dev/...            a device file: a USB printer (/dev/usb/lp0) or a serial port
//   pdf:DIRECTORY       a PDF file per job in DIRECTORY; "pdf:" alone is the default folder
// An empty target is "pdf:". Every connection and every write has a time limit; whatever
// fails is a TPrintError whose message says where and why, and nothing is sent elsewhere.
#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

namespace printkit {

class TPrintError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TTargetKind { Cups, Tcp, Device, PdfFolder };

struct TTarget {
  TTargetKind Kind = TTargetKind::PdfFolder;
  std::string Where;  // queue name, host:port, device path or folder (with trailing "/")
  std::string Text;   // as written in the settings, for messages
};

// TPrintError for a form none of the above.
TTarget ParseTarget(const std::string& text);

// What a job carries: printer commands that go through unchanged, or a PDF document.
enum class TJobFormat { Raw, Pdf };

struct TJob {
  std::string Title;  // the CUPS job's title, and the start of a PDF file's name
  TJobFormat Format = TJobFormat::Raw;
  std::string Bytes;
  std::string CupsOptions;  // "media=Custom.60x40mm ...", for a CUPS queue only
};

constexpr std::chrono::milliseconds DefaultTimeLimit{5000};

// Sends the job and answers where it went (the CUPS job, the file written, ...). A PDF
// folder takes PDF jobs only; a CUPS queue takes both.
std::string Deliver(const TTarget& target, const TJob& job, std::chrono::milliseconds limit = DefaultTimeLimit);

// The pieces, one file each.
std::string DeliverToCups(const std::string& queue, const TJob& job, std::chrono::milliseconds limit);
std::string DeliverToTcp(const std::string& hostAndPort, const std::string& bytes, std::chrono::milliseconds limit);
// A terminal (a serial port) is put in raw mode first, at `baud` when it is not 0.
std::string DeliverToDevice(const std::string& path, const std::string& bytes, std::chrono::milliseconds limit,
                            int baud = 0);
std::string DeliverToPdfFolder(const std::string& folder, const TJob& job);

// The folder that "pdf:" alone means: Printouts/ in the user's data folder.
std::string DefaultPdfFolder();

}  // namespace printkit
