// Fuzzes the dialog manager's reading of dialog templates (DLGTEMPLATE and
// DLGTEMPLATEEX with their items): the input is the RT_DIALOG resource of a
// module, run by DialogBoxParamW on a fresh device with a dialog procedure
// that ends the dialog as soon as it is made.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "device.h"
#include "fuzz_support.h"
#include "window_manager.h"

namespace {

const HMODULE kModule = reinterpret_cast<HMODULE>(0x5D000);
constexpr INT_PTR kEnded = 7;

void put16(std::vector<unsigned char>& out, uint16_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(std::vector<unsigned char>& out, uint32_t v) {
  put16(out, static_cast<uint16_t>(v));
  put16(out, static_cast<uint16_t>(v >> 16));
}

// One record of a .res image with ordinal type and name.
void putRecord(std::vector<unsigned char>& out, uint16_t type, uint16_t name, const uint8_t* data, size_t size) {
  put32(out, static_cast<uint32_t>(size));
  put32(out, 32);  // header size
  put16(out, 0xFFFF), put16(out, type);
  put16(out, 0xFFFF), put16(out, name);
  put32(out, 0);                               // data version
  put16(out, 0x1030), put16(out, 0x0409);      // memory flags, language
  put32(out, 0), put32(out, 0);                // version, characteristics
  out.insert(out.end(), data, data + size);
  while (out.size() % 4) out.push_back(0);
}

INT_PTR CALLBACK endAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  EndDialog(dialog, kEnded);
  return TRUE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> res;
  putRecord(res, 0, 0, nullptr, 0);  // the marker of a 32-bit .res image
  putRecord(res, 5, 1, data, size);  // RT_DIALOG #1
  wince::Device device{wince::DeviceOptions{}};
  device.addResourceModule(kModule, res.data(), res.size());
  const INT_PTR result = DialogBoxParamW(kModule, MAKEINTRESOURCEW(1), nullptr, endAtOnce, 0);
  FUZZ_CHECK(result == kEnded || result == 0 || result == -1,
             "a dialog answers what EndDialog gave, 0 or -1: " + std::to_string(result));
  device.windows().runUntilIdle();
  FUZZ_CHECK(device.windows().topLevelWindows().empty(), "no window is left on the screen");
  const wince::Accounting& a = device.accounting();
  FUZZ_CHECK(a.live(wince::ObjectKind::Window) == 0, "every window is destroyed: " + a.report());
  FUZZ_CHECK(a.live(wince::ObjectKind::Dc) == 0 && device.liveDcs() == 0, "every DC is released: " + a.report());
  FUZZ_CHECK(device.liveGdiObjects() == 0, "every font and brush is deleted: " + a.report());
  device.takeProblems();
  device.removeResourceModule(kModule);
  return 0;
}
