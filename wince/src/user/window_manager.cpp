#include "user/window_manager.h"

namespace wince {
struct WindowManager::Impl {};
WindowManager::WindowManager() : impl_(std::make_unique<Impl>()) {}
WindowManager::~WindowManager() = default;
}  // namespace wince
