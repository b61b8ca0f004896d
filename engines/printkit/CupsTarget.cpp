// Jobs to a CUPS queue through libcups. The queue must exist: an unknown name is an error,
// never a job on some other queue. The server is CUPS_SERVER's, else the system's.
#include <cups/cups.h>

#include <memory>

#include "PrintTarget.h"

namespace printkit {

namespace {

struct THttpClose {
  void operator()(http_t* http) const { ::httpClose(http); }
};
struct TIppDelete {
  void operator()(ipp_t* ipp) const { ::ippDelete(ipp); }
};
using THttp = std::unique_ptr<http_t, THttpClose>;
using TIpp = std::unique_ptr<ipp_t, TIppDelete>;

struct TOptions {
  int Count = 0;
  cups_option_t* List = nullptr;
  explicit TOptions(const std::string& text) { Count = ::cupsParseOptions(text.c_str(), 0, &List); }
  ~TOptions() { ::cupsFreeOptions(Count, List); }
  TOptions(const TOptions&) = delete;
  TOptions& operator=(const TOptions&) = delete;
};

THttp ConnectBefore(std::chrono::milliseconds limit) {
  // libcups keeps the server it chose per thread: choose afresh, so a changed CUPS_SERVER
  // or client.conf applies to the next job.
  ::cupsSetServer(nullptr);
  THttp http(::httpConnect2(::cupsServer(), ::ippPort(), nullptr, AF_UNSPEC, ::cupsEncryption(), 1,
                            static_cast<int>(limit.count()), nullptr));
  if (!http) throw TPrintError(std::string("cannot reach the CUPS server ") + ::cupsServer());
  // Every later request on this connection gives up after the same limit.
  ::httpSetTimeout(http.get(), static_cast<double>(limit.count()) / 1000.0, nullptr, nullptr);
  return http;
}

void CheckQueueExists(http_t* http, const std::string& queue) {
  char uri[HTTP_MAX_URI];
  ::httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s", queue.c_str());
  ipp_t* request = ::ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ::ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  ::ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-name");
  const TIpp response(::cupsDoRequest(http, request, "/"));  // takes the request
  const ipp_status_t status = ::cupsLastError();
  if (status == IPP_STATUS_ERROR_NOT_FOUND)
    throw TPrintError("the CUPS queue \"" + queue + "\" does not exist");
  if (!response || status > IPP_STATUS_OK_CONFLICTING)
    throw TPrintError("cannot ask the CUPS server about \"" + queue + "\": " + ::cupsLastErrorString());
}

}  // namespace

std::string DeliverToCups(const std::string& queue, const TJob& job, std::chrono::milliseconds limit) {
  const THttp http = ConnectBefore(limit);
  CheckQueueExists(http.get(), queue);
  const TOptions options(job.CupsOptions);
  const int id = ::cupsCreateJob(http.get(), queue.c_str(), job.Title.c_str(), options.Count, options.List);
  if (id == 0) throw TPrintError("CUPS refused a job on \"" + queue + "\": " + ::cupsLastErrorString());
  const char* format = job.Format == TJobFormat::Pdf ? CUPS_FORMAT_PDF : CUPS_FORMAT_RAW;
  if (::cupsStartDocument(http.get(), queue.c_str(), id, job.Title.c_str(), format, 1) != HTTP_STATUS_CONTINUE ||
      ::cupsWriteRequestData(http.get(), job.Bytes.data(), job.Bytes.size()) != HTTP_STATUS_CONTINUE ||
      ::cupsFinishDocument(http.get(), queue.c_str()) > IPP_STATUS_OK_CONFLICTING) {
    const std::string reason = ::cupsLastErrorString();
    ::cupsCancelJob2(http.get(), queue.c_str(), id, 0);
    throw TPrintError("cannot send the job to \"" + queue + "\": " + reason);
  }
  return "cups:" + queue + " job " + std::to_string(id);
}

}  // namespace printkit
