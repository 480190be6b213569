#include "ui/skin_images.h"

#include "res/resource.h"

namespace {

constexpr char kPngType[] = "PNG";

}  // namespace

SkinImages DecodeSkinImages()
{
    return SkinImages{
        .strip = CGdipButton::DecodeImage(IDP_STRIP, kPngType),
        .startInactive = CGdipButton::DecodeImage(IDP_START_INACTIVE, kPngType),
        .startNormal = CGdipButton::DecodeImage(IDP_START_NORMAL, kPngType),
        .startHover = CGdipButton::DecodeImage(IDP_START_HOVER, kPngType),
        .startPressed = CGdipButton::DecodeImage(IDP_START_PRESSED, kPngType),
    };
}
