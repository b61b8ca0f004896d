// Reading a target and sending a job to it.
#include "PrintTarget.h"

#include "PrintSettings.h"

namespace printkit {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

TTarget ParseTarget(const std::string& text) {
  TTarget target;
  target.Text = text.empty() ? "pdf:" : text;
  if (text.empty() || StartsWith(text, "pdf:")) {
    target.Kind = TTargetKind::PdfFolder;
    target.Where = text.size() > 4 ? text.substr(4) : DefaultPdfFolder();
    if (target.Where.back() != '/') target.Where += '/';
  } else if (StartsWith(text, "cups:") && text.size() > 5) {
    target.Kind = TTargetKind::Cups;
    target.Where = text.substr(5);
  } else if (StartsWith(text, "tcp://") && text.find(':', 6) != std::string::npos) {
    target.Kind = TTargetKind::Tcp;
    target.Where = text.substr(6);
  } else if (StartsWith(text, "/")) {
    target.Kind = TTargetKind::Device;
    target.Where = text;
  } else {
    throw TPrintError("unknown printer target \"" + text +
                      "\" (expected cups:QUEUE, tcp://HOST:PORT, a device path or pdf:FOLDER)");
  }
  return target;
}

std::string Deliver(const TTarget& target, const TJob& job, std::chrono::milliseconds limit) {
  const bool pdf = job.Format == TJobFormat::Pdf;
  switch (target.Kind) {
    case TTargetKind::Cups: return DeliverToCups(target.Where, job, limit);
    case TTargetKind::PdfFolder:
      if (!pdf) throw TPrintError("the target " + target.Text + " takes PDF documents, not printer commands");
      return DeliverToPdfFolder(target.Where, job);
    case TTargetKind::Tcp:
    case TTargetKind::Device:
      if (pdf) throw TPrintError("the target " + target.Text + " takes printer commands, not a PDF document");
      return target.Kind == TTargetKind::Tcp ? DeliverToTcp(target.Where, job.Bytes, limit)
                                             : DeliverToDevice(target.Where, job.Bytes, limit);
  }
  throw TPrintError("unknown printer target " + target.Text);
}

std::string DefaultPdfFolder() { return DataFolder() + "Printouts/"; }

}  // namespace printkit
