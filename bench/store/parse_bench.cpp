// Throughput of the message-file parser and the text decoders on realistic files.
#include <chrono>
#include <cstdio>
#include <string>

#include "gsm7.h"
#include "core/msgtext.h"
#include "core/smsfile.h"

namespace {

template <typename Fn>
void Measure(const char* what, size_t bytes, Fn fn) {
  using Clock = std::chrono::steady_clock;
  size_t runs = 0;
  auto start = Clock::now();
  double seconds = 0;
  do {
    for (int i = 0; i < 1000; ++i) fn();
    runs += 1000;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } while (seconds < 1.0);
  std::printf("%-40s %8zu bytes  %10.1f MB/s  %8.2f us/file\n", what, bytes, double(bytes) * runs / seconds / 1e6,
              seconds * 1e6 / double(runs));
}

}  // namespace

int main() {
  static SmsFileInfo info;
  std::string request =
      "[SMS]\r\nPhoneNumber=+447700900123\r\nData=Your parcel will arrive tomorrow between 9 and 12.\\r\\nReply STOP "
      "to opt out.\r\nSubmitUser=alice\r\nSubmittedBy=192.168.1.20\r\nReceiptRequested=Yes\r\nValidity=1440\r\n"
      "[ErrorDetail]\r\nRetryCount=3\r\nLastErrorInfo=Modem did not answer\r\nLastRetryTime=20120216134501\r\n"
      "FirstAttemptTime=20120216120000\r\n";
  std::string received =
      "[SMS-IN]\r\nSender=+447700900124\r\nPhoneNumber=+447700900001\r\nModemName=COM1:\r\nbinary=Yes\r\ndcs=00\r\n"
      "pid=00\r\nudh=050003CC0201\r\nData=" +
      std::string(280, 'A') + "\r\nReceiptMessageId=1234\r\n";
  std::string large = "[SMS]\r\nPhoneNumber=+447700900123\r\nData=" + std::string(8000, 'x') + "\r\n";
  Measure("request with [ErrorDetail]", request.size(), [&] { ParseSmsText(request.c_str(), &info); });
  Measure("received binary message", received.size(), [&] { ParseSmsText(received.c_str(), &info); });
  Measure("request with 8000 characters of text", large.size(), [&] { ParseSmsText(large.c_str(), &info); });

  std::string gsm;
  for (int i = 0; i < 20; ++i) gsm += "E8329BFD4697D9EC37";  // hellohello
  Measure("GSM 7-bit user data to UTF-8", gsm.size(), [&] {
    char out[kGsm7OutputCapacity];
    Gsm7HexToUtf8("", gsm.c_str(), out);
  });
  std::string ucs2;
  for (int i = 0; i < 70; ++i) ucs2 += "20AC";
  Measure("UCS-2 user data to UTF-8", ucs2.size(), [&] {
    char out[8192];
    Ucs2HexToUtf8(ucs2.c_str(), out);
  });
  return 0;
}
