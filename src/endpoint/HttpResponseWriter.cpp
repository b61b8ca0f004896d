// Response formatting and the outcome-to-answer mapping.
#include "endpoint/HttpResponseWriter.h"

#include <exception>

#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs {

const char* HttpReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 413: return "Payload Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    default: return "Unknown";
  }
}

std::string FormatHttpResponse(const THttpResponse& response) {
  std::string out;
  out.reserve(320 + response.Content.size());
  out += "HTTP/1.1 ";
  out += std::to_string(response.Status);
  out += ' ';
  out += HttpReasonPhrase(response.Status);
  out += "\r\nContent-Type: text/html\r\n";
  if (!response.Content.empty()) {
    out += "Content-Length: ";
    out += std::to_string(response.Content.size());
    out += "\r\n";
  }
  out +=
      "Connection: close\r\n"
      "Access-Control-Allow-Origin: *\r\n"
      "Access-Control-Allow-Methods: GET,POST,OPTIONS\r\n"
      "Access-Control-Allow-Headers: Origin,Content-Type,Accept\r\n";
  for (const auto& [name, value] : response.ExtraHeaders) {
    out += name;
    out += ": ";
    out += value;
    out += "\r\n";
  }
  out += "\r\n";
  out += response.Content;
  return out;
}

std::optional<THttpResponse> AnswerHttpRequest(THttpReadResult result, const THttpRequest& request,
                                               const THttpHandler& handler, uint64_t maxBodySize,
                                               uint64_t requestMemory) {
  THttpResponse response;
  switch (result) {
    case THttpReadResult::Drop:
      return std::nullopt;
    case THttpReadResult::TooLarge:
      response.Status = 413;
      response.Content = Format("Request body too large: the limit is %llu bytes",
                                static_cast<unsigned long long>(maxBodySize));
      return response;
    case THttpReadResult::TimedOut:
      response.Status = 408;
      response.Content = "Request not received in time";
      return response;
    case THttpReadResult::OverBudget:
      response.Status = 503;
      response.Content = Format(
          "Server busy: the requests in progress already hold the %llu bytes allowed for request "
          "data; send this request again later",
          static_cast<unsigned long long>(requestMemory));
      return response;
    case THttpReadResult::Request:
      break;
  }
  if (request.Method == "OPTIONS") {
    // A browser's preflight: the headers are the answer. Chromium asks before a public page
    // may reach a local address, and refuses the page unless we allow it.
    const std::string* privateNetwork = request.FindHeader("Access-Control-Request-Private-Network");
    if (privateNetwork != nullptr && SameTextAscii(*privateNetwork, "true"))
      response.ExtraHeaders.emplace_back("Access-Control-Allow-Private-Network", "true");
    return response;
  }
  try {
    handler(request, response);
  } catch (const Exception& e) {
    response = THttpResponse{500, e.GetMessage()};
  } catch (const std::exception& e) {
    response = THttpResponse{500, e.what()};
  } catch (...) {
    response = THttpResponse{500, HttpReasonPhrase(500)};
  }
  return response;
}

}  // namespace trs
