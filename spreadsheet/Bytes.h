#pragma once
// Little-endian numbers in byte strings, as the file formats store them.
// Callers check the bounds first.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Spreadsheet {

inline uint32_t U16(const std::string& b, size_t o) {
  return static_cast<uint8_t>(b[o]) | (static_cast<uint32_t>(static_cast<uint8_t>(b[o + 1])) << 8);
}
inline uint32_t U32(const std::string& b, size_t o) { return U16(b, o) | (U16(b, o + 2) << 16); }
inline uint32_t U16(const uint8_t* p) { return p[0] | (static_cast<uint32_t>(p[1]) << 8); }
inline uint32_t U32(const uint8_t* p) { return U16(p) | (U16(p + 2) << 16); }
inline void Put16(std::string& b, size_t o, uint32_t v) {
  b[o] = static_cast<char>(v & 0xFF);
  b[o + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& b, size_t o, uint32_t v) {
  Put16(b, o, v & 0xFFFF);
  Put16(b, o + 2, v >> 16);
}
inline void Add16(std::string& b, uint32_t v) {
  b += static_cast<char>(v & 0xFF);
  b += static_cast<char>((v >> 8) & 0xFF);
}
inline void Add32(std::string& b, uint32_t v) {
  Add16(b, v & 0xFFFF);
  Add16(b, v >> 16);
}

}  // namespace Spreadsheet
