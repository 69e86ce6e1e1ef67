// The device's door for objects a test or tool makes directly: screen DCs,
// resource modules without a library, icons from images.
#include "device.h"
#include "gdi/gdi_state.h"
#include "kernel/resources.h"

namespace wince {

HDC Device::createScreenDc(POINT origin, std::vector<RECT> clip) { return gdi_->createDc(origin, std::move(clip)); }
bool Device::releaseScreenDc(HDC dc) { return gdi_->releaseDc(dc); }
bool Device::isLiveDc(HDC dc) const { return gdi_->isDc(dc); }
int Device::liveDcs() const { return gdi_->liveDcs(); }
int Device::liveGdiObjects() const { return gdi_->liveObjects(); }

void Device::addResourceModule(HMODULE module, const unsigned char* data, size_t size) {
  resources_->addBuiltinModule(module, data, size);
}
void Device::removeResourceModule(HMODULE module) { resources_->removeBuiltinModule(module); }
const IconImage* Device::iconImage(HICON icon) const { return resources_->icon(icon); }
HICON Device::createIcon(IconImage image) { return resources_->addIcon(std::move(image)); }

}  // namespace wince
