// The skin images of the open project, loaded from the files the display
// settings name.
#pragma once

#include <QImage>
#include <array>

#include "display/display_settings.h"

namespace kv {

// Pure magenta marks transparent pixels in every skin but the backgrounds.
inline constexpr QRgb kSkinColourKey = 0xFFFF00FF;

class SkinImages : public SkinImageLoader {
 public:
  bool loadSkinImage(int slot, const std::filesystem::path& file) override;

  const QImage& image(int slot) const { return images_.at(static_cast<size_t>(slot)); }
  bool has(int slot) const { return !image(slot).isNull(); }
  void clear();

 private:
  std::array<QImage, kSkinSlotCount> images_;
};

}  // namespace kv
