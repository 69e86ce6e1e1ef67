#include "gdi/gdi_state.h"

namespace wince {
struct GdiState::Impl {};
GdiState::GdiState() : impl_(std::make_unique<Impl>()) {}
GdiState::~GdiState() = default;
HDC GdiState::createDc(POINT, std::vector<RECT>) { return nullptr; }
bool GdiState::releaseDc(HDC) { return false; }
bool GdiState::isDc(HDC) const { return false; }
}  // namespace wince
