#include "display/ui/skin_images.h"

#include "shell/ui/qt_text.h"

namespace kv {

bool SkinImages::loadSkinImage(int slot, const std::filesystem::path& file) {
  if (slot < 0 || slot >= kSkinSlotCount) return false;
  QImage image(pathToQString(file));
  if (image.isNull()) {
    images_[slot] = QImage();
    return false;
  }
  if (slot != SkinPoseBackground) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x)
        if ((line[x] | 0xFF000000) == kSkinColourKey) line[x] = 0;
    }
  }
  images_[slot] = image;
  return true;
}

void SkinImages::clear() {
  for (QImage& image : images_) image = QImage();
}

}  // namespace kv
