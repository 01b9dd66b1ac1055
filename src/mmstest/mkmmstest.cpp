// Encodes MMSTEST.MMS, the test message the Test Message page copies into the
// MMSC's queue: an m-send-req (MMS 1.2) whose multipart/related body holds a
// SMIL presentation, a text and a small image. The sender is left to the
// MMSC and the recipients to the queue's control file, which the MMSC writes
// into the message when it sends it.
//
//   mkmmstest OUT.MMS PRESENTATION.smil TEXT.txt IMAGE.gif
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "core/mmspdu.h"

namespace {

bool ReadAll(const char* path, mms::Bytes* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

mms::Part MakePart(const char* path, const char* media, const char* charset, const char* id) {
  mms::Part p;
  p.type.media = media;
  p.type.charset = charset;
  p.type.name = BaseName(path);
  p.location = BaseName(path);
  p.contentId = std::string("<") + id + ">";
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: mkmmstest OUT.MMS PRESENTATION.smil TEXT.txt IMAGE.gif\n");
    return 2;
  }
  mms::SendReq req;
  req.transactionId = "ZARQTEST";
  req.subject = "ZarqSMS Test Message";
  req.type.media = "application/vnd.wap.multipart.related";
  req.type.start = "<smil>";
  req.type.startType = "application/smil";
  req.parts = {MakePart(argv[2], "application/smil", "utf-8", "smil"),
               MakePart(argv[3], "text/plain", "utf-8", "text"),
               MakePart(argv[4], "image/gif", "", "image")};
  for (size_t i = 0; i < req.parts.size(); ++i) {
    if (!ReadAll(argv[2 + i], &req.parts[i].data)) {
      fprintf(stderr, "mkmmstest: cannot read %s\n", argv[2 + i]);
      return 1;
    }
  }
  mms::Bytes bytes;
  std::string error;
  if (!mms::EncodeSendReq(req, &bytes, &error)) {
    fprintf(stderr, "mkmmstest: %s\n", error.c_str());
    return 1;
  }
  // The encoder's output must read back as what was meant.
  mms::SendReq back;
  if (!mms::DecodeSendReq(bytes.data(), bytes.size(), &back, &error) || back.parts.size() != req.parts.size()) {
    fprintf(stderr, "mkmmstest: the encoded message does not decode: %s\n", error.c_str());
    return 1;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out.flush()) {
    fprintf(stderr, "mkmmstest: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
