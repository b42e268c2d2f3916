#include "DpiScaling.h"

namespace veltrona::ui {

int scaled(int pixels, int pixelsPerInch) {
    return mulDiv(pixels, pixelsPerInch, kDesignPixelsPerInch);
}

Rect scaled(const Rect& bounds, int pixelsPerInch) {
    return {scaled(bounds.left, pixelsPerInch), scaled(bounds.top, pixelsPerInch),
            scaled(bounds.width, pixelsPerInch), scaled(bounds.height, pixelsPerInch)};
}

}  // namespace veltrona::ui
