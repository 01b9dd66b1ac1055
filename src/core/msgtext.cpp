#include "core/msgtext.h"

#include "core/smsfile.h"

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return unsigned(c - '0');
  if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return unsigned(c - 'A' + 10);
  return 0;
}

unsigned char ParseHexByte(const char* text) {
  // Only the low 8 bits survive, so the running value may wrap freely.
  unsigned value = 0;
  for (; IsHexDigit(*text); ++text) value = value * 16 + HexDigitValue(*text);
  return static_cast<unsigned char>(value);
}

bool IsGsm7Dcs(unsigned char d) {
  if ((d & 0xC0) == 0 && (d & 0x0C) == 0) return true;  // general coding, default alphabet
  if ((d & 0xF0) == 0xF0 && (d & 0x04) == 0) return true;
  if ((d & 0xF0) == 0xD0) return true;
  return (d & 0xF0) == 0xC0;
}

bool IsUcs2Dcs(unsigned char d) {
  if ((d & 0xC0) == 0 && (d & 0x08)) return true;  // alphabet values 10 and 11
  return (d & 0xF0) == 0xE0;
}

void Ucs2HexToUtf8(const char* hex, char* out) {
  // A unit takes at least as many input characters as its UTF-8 form takes
  // bytes, so writing behind the reading position is safe in place.
  const char* in = hex;
  char* o = out;
  for (unsigned units = 0; units < 8192 && IsHexDigit(*in); ++units) {
    unsigned u = 0;
    int digits = 0;
    for (; digits < 4 && IsHexDigit(*in); ++digits, ++in) u = u * 16 + HexDigitValue(*in);
    if (u == 0) break;
    if (u < 0x80) {
      *o++ = char(u);
    } else if (u < 0x800) {
      *o++ = char(0xC0 | (u >> 6));
      *o++ = char(0x80 | (u & 0x3F));
    } else {
      *o++ = char(0xE0 | (u >> 12));
      *o++ = char(0x80 | ((u >> 6) & 0x3F));
      *o++ = char(0x80 | (u & 0x3F));
    }
    if (digits < 4) break;  // a non-hexadecimal character or the end ended this unit
  }
  *o = '\0';
}

void DisplayText(SmsFileInfo* info, Gsm7Converter gsm7) {
  if (!info->binary) return;
  if (IsGsm7Dcs(info->dcs)) {
    if (gsm7) gsm7(info->udh, info->Data, info->Data);
  } else if (IsUcs2Dcs(info->dcs)) {
    Ucs2HexToUtf8(info->Data);
  }
}
