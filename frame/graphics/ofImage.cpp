#include "ofImage.h"

#include <FreeImage.h>

static bool bFreeImageInited = false;

void ofCloseFreeImage() {
    if (bFreeImageInited) {
        FreeImage_DeInitialise();
        bFreeImageInited = false;
    }
}
