// The GSM 7-bit default alphabet and its extension table (3GPP TS 23.038),
// for the SMS PDU coder and ZARQACCT.DLL's decoder. Pure code: no <windows.h>.
#pragma once
#include <cstdint>

namespace gsm7 {

// The code that escapes to the extension table.
constexpr uint8_t kEscape = 0x1B;

// The default alphabet; the escape code has no character of its own (0).
inline constexpr char16_t kDefault[128] = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC,  // @ £ $ ¥ è é ù ì
    0x00F2, 0x00C7, 0x000A, 0x00D8, 0x00F8, 0x000D, 0x00C5, 0x00E5,  // ò Ç LF Ø ø CR Å å
    0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8,  // Δ _ Φ Γ Λ Ω Π Ψ
    0x03A3, 0x0398, 0x039E, 0x0000, 0x00C6, 0x00E6, 0x00DF, 0x00C9,  // Σ Θ Ξ ESC Æ æ ß É
    0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026, 0x0027,  //   ! " # ¤ % & '
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // ( ) * + , - . /
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 0-7
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 8 9 : ; < = > ?
    0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // ¡ A-G
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // H-O
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // P-W
    0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,  // X Y Z Ä Ö Ñ Ü §
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // ¿ a-g
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // h-o
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // p-w
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,  // x y z ä ö ñ ü à
};

struct ExtensionEntry {
  uint8_t code;
  char16_t character;
};
// The extension table after an escape.
inline constexpr ExtensionEntry kExtension[] = {
    {0x0A, 0x000C},  // form feed
    {0x14, 0x005E},  // ^
    {0x28, 0x007B},  // {
    {0x29, 0x007D},  // }
    {0x2F, 0x005C},  // backslash
    {0x3C, 0x005B},  // [
    {0x3D, 0x007E},  // ~
    {0x3E, 0x005D},  // ]
    {0x40, 0x007C},  // |
    {0x65, 0x20AC},  // euro sign
};

// The character of an extension code; 0 for a code the table does not define.
inline char16_t ExtensionCharacter(uint8_t code) {
  for (const ExtensionEntry& e : kExtension)
    if (e.code == code) return e.character;
  return 0;
}

// What a reader shows for the code (0..127) after an escape: its extension
// character, a space for an escape to a further table, else the default
// character of that code.
inline char16_t EscapedCharacter(uint8_t code) {
  char16_t c = ExtensionCharacter(code);
  if (!c) c = code == kEscape ? u' ' : kDefault[code];
  return c;
}

// The default-alphabet code of `c`; false when it has none.
inline bool DefaultCode(char16_t c, uint8_t* code) {
  for (uint8_t i = 0; i < 128; ++i)
    if (i != kEscape && kDefault[i] == c) {
      *code = i;
      return true;
    }
  return false;
}

// The extension code of `c` (sent after an escape); false when it has none.
inline bool ExtensionCode(char16_t c, uint8_t* code) {
  for (const ExtensionEntry& e : kExtension)
    if (e.character == c) {
      *code = e.code;
      return true;
    }
  return false;
}

}  // namespace gsm7
