// The gateway services' shared-memory status blocks. The service owns the
// block; this program only maps it and touches the documented bytes.
#include "service/services.h"

namespace {

const char* const kSmsNames[] = {"ZARQ_SMSGW_ShMem", "Global\\ZARQ_SMSGW_ShMem"};
const char* const kMmscNames[] = {"ZARQ_MMSC_ShMem", "Global\\ZARQ_MMSC_ShMem"};

}  // namespace

bool OpenStatusBlock(Gateway which, StatusBlock* block) {
  block->mapping = nullptr;
  block->view = nullptr;
  const char* const* names = which == Gateway::Sms ? kSmsNames : kMmscNames;
  for (int i = 0; i < 2 && !block->mapping; ++i) block->mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, names[i]);
  if (!block->mapping) return false;
  block->view = static_cast<unsigned char*>(MapViewOfFile(block->mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!block->view) {
    CloseHandle(block->mapping);
    block->mapping = nullptr;
    return false;
  }
  return true;
}

void CloseStatusBlock(StatusBlock* block) {
  if (block->view) UnmapViewOfFile(block->view);
  if (block->mapping) CloseHandle(block->mapping);
  block->view = nullptr;
  block->mapping = nullptr;
}
