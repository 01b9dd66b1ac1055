// Byte layouts of the records handed to and from the gateway's account
// libraries. Pure: shared by the program and the stand-in libraries.
#pragma once
#include <cstddef>

// SMS user record (ZARQACCT.DLL), 522 bytes, zero-filled when built.
namespace UserRecord {
constexpr size_t kSize = 522;
constexpr size_t kNameOffset = 0, kNameSize = 51;
constexpr size_t kPasswordOffset = 51, kPasswordSize = 51;
constexpr size_t kFullNameOffset = 102, kFullNameSize = 101;
constexpr size_t kWebLoginDisabledOffset = 203;
constexpr size_t kSmppEnabledOffset = 204;
constexpr size_t kIpAddressesOffset = 225, kIpAddressesSize = 50;
constexpr size_t kWebMenuOffset = 419;
constexpr size_t kAdminOffset = 420;
constexpr size_t kAcceptReceivedOffset = 421;
}  // namespace UserRecord

// MMSC account record (ZARQPEER.DLL), 511 bytes, zero-filled when new.
namespace AccountRecord {
constexpr size_t kSize = 511;
constexpr size_t kNameOffset = 0, kNameSize = 51;
constexpr size_t kPasswordOffset = 51, kPasswordSize = 51;
constexpr size_t kFullNameOffset = 102, kFullNameSize = 101;
constexpr size_t kFlag203 = 203, kFlag204 = 204, kFlag205 = 205, kFlag206 = 206;
constexpr size_t kIpAddressesOffset = 267, kIpAddressesSize = 50;
}  // namespace AccountRecord
