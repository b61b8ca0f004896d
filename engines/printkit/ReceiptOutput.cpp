#include "ReceiptOutput.h"

#include <chrono>

#include "EscPos.h"
#include "PrintTarget.h"

namespace printkit {

std::string PrintReceipt(const TReceiptPrinter& printer, const TReceipt& receipt, const std::string& title) {
  const TTarget target = ParseTarget(printer.Target);
  TJob job;
  job.Title = title;
  if (target.Kind == TTargetKind::PdfFolder || printer.PdfOutput) {
    job.Format = TJobFormat::Pdf;
    job.Bytes = ReceiptPdf(receipt);
  } else {
    job.Format = TJobFormat::Raw;
    job.Bytes = EscPosReceipt(receipt, printer.Encoding);
  }
  return Deliver(target, job, std::chrono::milliseconds(printer.TimeLimitMs));
}

}  // namespace printkit
