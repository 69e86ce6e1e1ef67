// Little-endian reads and writes into byte buffers, for the image tool.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace peimage {

inline uint16_t GetU16(const std::vector<uint8_t>& b, size_t at) {
  if (at + 2 > b.size()) throw std::runtime_error("read past the end");
  return uint16_t(b[at] | b[at + 1] << 8);
}
inline uint32_t GetU32(const std::vector<uint8_t>& b, size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("read past the end");
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline void SetU16(std::vector<uint8_t>* b, size_t at, uint16_t v) {
  if (at + 2 > b->size()) b->resize(at + 2);
  (*b)[at] = uint8_t(v);
  (*b)[at + 1] = uint8_t(v >> 8);
}
inline void SetU32(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  if (at + 4 > b->size()) b->resize(at + 4);
  for (int i = 0; i < 4; ++i) (*b)[at + i] = uint8_t(v >> (8 * i));
}
inline void PutU16(std::vector<uint8_t>* b, uint16_t v) { SetU16(b, b->size(), v); }
inline void PutU32(std::vector<uint8_t>* b, uint32_t v) { SetU32(b, b->size(), v); }
inline void PutString(std::vector<uint8_t>* b, const std::string& s) {
  b->insert(b->end(), s.begin(), s.end());
  b->push_back(0);
}
inline void Align(std::vector<uint8_t>* b, size_t to) { b->resize((b->size() + to - 1) / to * to); }

}  // namespace peimage
