#include "ofImage.h"

#include "../app/ofAppRunner.h"
#include "../utils/ofUtils.h"

#include <FreeImage.h>
#include <GL/glew.h>
#include <cstddef>

// ---- File-level state ----------------------------------------------------------

static bool bFreeImageInited = false;

// This machine's FreeImage reverses the rows when the raw-bits calls are told
// "top-down", so FALSE is what keeps buffer row i equal to scanline i, and our
// bitmaps hold the picture's top row in scanline 0.
static const BOOL rawBitsTopDown = FALSE;

// ---- Helpers ----------------------------------------------------------------------

static int bitsOfType(int imageType) {
    switch (imageType) {
    case IMAGE_TYPE_GRAYSCALE: return 8;
    case IMAGE_TYPE_COLOR: return 24;
    case IMAGE_TYPE_COLOR_ALPHA: return 32;
    default: return 0;
    }
}

static GLenum glFormatOfType(int imageType) {
    switch (imageType) {
    case IMAGE_TYPE_GRAYSCALE: return GL_LUMINANCE;
    case IMAGE_TYPE_COLOR_ALPHA: return GL_RGBA;
    default: return GL_RGB;
    }
}

// By content first; a file that is not there yet, or whose content says
// nothing, is judged by its extension.
static FREE_IMAGE_FORMAT formatOfFile(const std::string& fileName) {
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(fileName.c_str(), 0);
    if (format == FIF_UNKNOWN) {
        format = FreeImage_GetFIFFromFilename(fileName.c_str());
    }
    return format;
}

static bool isGreyRamp(FIBITMAP* bitmap) {
    return FreeImage_GetBPP(bitmap) == 8 && FreeImage_GetColorType(bitmap) == FIC_MINISBLACK;
}

// The buffer holds 8-bit grey, 24-bit or 32-bit pictures of ordinary bytes.
// Everything else (palettes, inverted grey, 1, 4, 16, 48 and 64 bits, 16-bit
// or float samples) is turned into 24 bits first.
static bool needs24Bits(FIBITMAP* bitmap) {
    if (FreeImage_GetImageType(bitmap) != FIT_BITMAP) {
        return true;
    }
    unsigned bits = FreeImage_GetBPP(bitmap);
    return !(bits == 24 || bits == 32 || isGreyRamp(bitmap));
}

// 16-bit grey and float samples have no direct way to 24 bits; they go
// through 8-bit grey (16-bit grey keeps its high byte) first.
static FIBITMAP* convertedTo24Bits(FIBITMAP* bitmap) {
    FIBITMAP* colour = FreeImage_ConvertTo24Bits(bitmap);
    if (colour != nullptr) {
        return colour;
    }
    FIBITMAP* grey = FreeImage_ConvertTo8Bits(bitmap);
    if (grey == nullptr) {
        grey = FreeImage_ConvertToStandardType(bitmap, TRUE);
    }
    if (grey == nullptr) {
        return nullptr;
    }
    colour = FreeImage_ConvertTo24Bits(grey);
    FreeImage_Unload(grey);
    return colour;
}

static int typeOfBitmap(FIBITMAP* bitmap) {
    if (FreeImage_GetImageType(bitmap) != FIT_BITMAP) {
        return IMAGE_TYPE_UNDEFINED;
    }
    if (isGreyRamp(bitmap)) {
        return IMAGE_TYPE_GRAYSCALE;
    }
    switch (FreeImage_GetBPP(bitmap)) {
    case 24: return IMAGE_TYPE_COLOR;
    case 32: return IMAGE_TYPE_COLOR_ALPHA;
    default: return IMAGE_TYPE_UNDEFINED;
    }
}

static void swapRedBlue(unsigned char* bytes, std::size_t count, int stride) {
    for (std::size_t i = 0; i < count; i++) {
        unsigned char* pixel = bytes + i * stride;
        unsigned char red = pixel[0];
        pixel[0] = pixel[2];
        pixel[2] = red;
    }
}

static void swapRedBlueInBitmap(FIBITMAP* bitmap) {
    int stride = FreeImage_GetBPP(bitmap) / 8;
    for (unsigned row = 0; row < FreeImage_GetHeight(bitmap); row++) {
        swapRedBlue(FreeImage_GetScanLine(bitmap, row), FreeImage_GetWidth(bitmap), stride);
    }
}

static bool hasSize(FIBITMAP* bitmap, int w, int h) {
    return static_cast<int>(FreeImage_GetWidth(bitmap)) == w &&
           static_cast<int>(FreeImage_GetHeight(bitmap)) == h;
}

// Reads a window area (GL's bottom-left row numbering) into the bitmap's bits,
// bottom row first, in the bitmap's own B, G, R(, A) byte order. FreeImage
// pads its rows to four bytes, which is GL's pack alignment 4.
static void readFrameBuffer(FIBITMAP* bitmap, int x, int glRow, GLenum format) {
    GLint savedAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &savedAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, glRow, FreeImage_GetWidth(bitmap), FreeImage_GetHeight(bitmap), format,
                 GL_UNSIGNED_BYTE, FreeImage_GetBits(bitmap));
    glPixelStorei(GL_PACK_ALIGNMENT, savedAlignment);
}

// GL reads luminance as the clamped sum R + G + B, which turns every mid grey
// white; a grey grab reads colour and lets the image library weigh it instead.
static FIBITMAP* readGreyFrameBuffer(int x, int glRow, int w, int h) {
    FIBITMAP* colour = FreeImage_AllocateT(FIT_BITMAP, w, h, 24);
    if (colour == nullptr) {
        return nullptr;
    }
    readFrameBuffer(colour, x, glRow, GL_BGR_EXT);
    FIBITMAP* grey = FreeImage_ConvertToGreyscale(colour);
    FreeImage_Unload(colour);
    return grey;
}

// ---- ofImage ----------------------------------------------------------------------

ofImage::ofImage()
    : imageType(IMAGE_TYPE_UNDEFINED), width(0), height(0), bpp(0), useTexture(true),
      ownsPixels(false), bmp(nullptr), pixels(nullptr) {
    if (!bFreeImageInited) {
        FreeImage_Initialise(FALSE);
        bFreeImageInited = true;
    }
}

ofImage::ofImage(const ofImage& other) : ofImage() {
    clone(other);
}

ofImage& ofImage::operator=(const ofImage& other) {
    clone(other);
    return *this;
}

ofImage::~ofImage() {
    clear();
}

void ofImage::loadImage(std::string fileName) {
    fileName = ofToDataPath(fileName);
    FREE_IMAGE_FORMAT format = formatOfFile(fileName);
    FIBITMAP* loaded = nullptr;
    if (format != FIF_UNKNOWN && FreeImage_FIFSupportsReading(format)) {
        loaded = FreeImage_Load(format, fileName.c_str(), 0);
    }
    if (loaded == nullptr) {
        // No picture is left behind, whatever the reason: an image never
        // reports a size of 0 while still holding an older bitmap.
        if (bmp != nullptr) {
            FreeImage_Unload(bmp);
            bmp = nullptr;
        }
        width = height = bpp = 0;
        return;
    }
    swap(loaded);
    FreeImage_FlipVertical(bmp);
    update();
}

bool ofImage::saveImage(std::string fileName) {
    fileName = ofToDataPath(fileName);
    if (!isValid()) {
        return false;
    }
    FREE_IMAGE_FORMAT format = formatOfFile(fileName);
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsWriting(format)) {
        return false;
    }
    // Files keep FreeImage's bottom-up order; the bitmap in memory is put back.
    FreeImage_FlipVertical(bmp);
    bool saved = FreeImage_Save(format, bmp, fileName.c_str(), 0) == TRUE;
    FreeImage_FlipVertical(bmp);
    return saved;
}

void ofImage::setFromPixels(const unsigned char* data, int w, int h, int newType, bool rgbOrder) {
    clear();
    int bits = bitsOfType(newType);
    if (data == nullptr || w <= 0 || h <= 0 || bits == 0) {
        return;
    }
    imageType = newType;
    bpp = bits;
    // FreeImage copies the rows, so the channels are exchanged in its copy and
    // the caller's buffer is never written to.
    bmp = FreeImage_ConvertFromRawBits(const_cast<BYTE*>(data), w, h, w * bits / 8, bits,
                                       FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK,
                                       rawBitsTopDown);
    if (bmp != nullptr && rgbOrder && bits > 8) {
        swapRedBlueInBitmap(bmp);
    }
    update();
}

void ofImage::allocate(int w, int h, int newType) {
    int bits = bitsOfType(newType);
    if (bits == 0) {
        bits = 24;
    }
    if (bmp != nullptr) {
        FreeImage_Unload(bmp);
    }
    bmp = FreeImage_AllocateT(FIT_BITMAP, w, h, bits);
    if (bmp == nullptr) {
        width = height = bpp = 0;
        return;
    }
    // Brought in line at once, so width, height and getPixels never describe
    // the picture that was there before.
    update();
}

void ofImage::grabScreen(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) {
        return;
    }
    int glRow = ofGetHeight() - y - h;
    if (!isValid()) {
        bmp = FreeImage_AllocateT(FIT_BITMAP, w, h, 24);
    } else if (!hasSize(bmp, w, h)) {
        resize(w, h);
    }
    if (!isValid() || !hasSize(bmp, w, h)) {
        return;
    }

    switch (FreeImage_GetBPP(bmp)) {
    case 8: swap(readGreyFrameBuffer(x, glRow, w, h)); break;
    case 24: readFrameBuffer(bmp, x, glRow, GL_BGR_EXT); break;
    case 32: readFrameBuffer(bmp, x, glRow, GL_BGRA); break;
    default: return;
    }
    FreeImage_FlipVertical(bmp);
    update();
}

void ofImage::clone(const ofImage& other) {
    if (&other == this) {
        return;
    }
    clear();
    if (other.bmp != nullptr) {
        bmp = FreeImage_Clone(other.bmp);
    }
    update();
}

void ofImage::setImageType(int newType) {
    if (!isValid()) {
        return;
    }
    if (newType == IMAGE_TYPE_COLOR && imageType != IMAGE_TYPE_COLOR) {
        swap(FreeImage_ConvertTo24Bits(bmp));
    } else if (newType == IMAGE_TYPE_GRAYSCALE && imageType != IMAGE_TYPE_GRAYSCALE) {
        swap(FreeImage_ConvertToGreyscale(bmp));
    } else if (newType == IMAGE_TYPE_COLOR_ALPHA && imageType != IMAGE_TYPE_COLOR_ALPHA) {
        swap(FreeImage_ConvertTo32Bits(bmp));
    }
    update();
}

void ofImage::resize(int w, int h) {
    if (!isValid() || w <= 0 || h <= 0) {
        return;
    }
    swap(FreeImage_Rescale(bmp, w, h, FILTER_BICUBIC));
    update();
}

void ofImage::clear() {
    // Once the library is shut down at exit, bitmaps are left to the process end.
    if (bmp != nullptr && bFreeImageInited) {
        FreeImage_Unload(bmp);
        bmp = nullptr;
    }
    if (ownsPixels) {
        delete[] pixels;
        pixels = nullptr;
    }
    width = height = bpp = 0;
    imageType = IMAGE_TYPE_UNDEFINED;
    useTexture = true;
    ownsPixels = false;
    texture.clear();
}

void ofImage::update() {
    if (!isValid()) {
        return;
    }
    if (needs24Bits(bmp)) {
        swap(convertedTo24Bits(bmp));
    }
    int newType = typeOfBitmap(bmp);
    if (newType == IMAGE_TYPE_UNDEFINED) {
        // A kind of picture no conversion could bring to 8, 24 or 32 bits:
        // dropped like a file that failed to load.
        FreeImage_Unload(bmp);
        bmp = nullptr;
        width = height = bpp = 0;
        return;
    }

    imageType = newType;
    width = FreeImage_GetWidth(bmp);
    height = FreeImage_GetHeight(bmp);
    bpp = FreeImage_GetBPP(bmp);
    int rowBytes = width * (bpp / 8);
    if (ownsPixels) {
        delete[] pixels;
    }
    pixels = new unsigned char[static_cast<std::size_t>(rowBytes) * height];
    ownsPixels = true;
    FreeImage_ConvertToRawBits(pixels, bmp, rowBytes, bpp, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                               FI_RGBA_BLUE_MASK, rawBitsTopDown);
    if (imageType == IMAGE_TYPE_COLOR) {
        swapChannels(false);
    } else if (imageType == IMAGE_TYPE_COLOR_ALPHA) {
        swapChannels(true);
    }

    if (useTexture) {
        GLenum format = glFormatOfType(imageType);
        texture.allocate(width, height, format);
        texture.loadData(pixels, width, height, format);
    }
}

void ofImage::swapChannels(bool alpha) {
    if (!isValid() || pixels == nullptr) {
        return;
    }
    swapRedBlue(pixels, static_cast<std::size_t>(width) * height, alpha ? 4 : 3);
}

unsigned char* ofImage::getPixels() {
    return isValid() ? pixels : nullptr;
}

bool ofImage::isValid() const {
    return bmp != nullptr;
}

void ofImage::swap(FIBITMAP* newBitmap) {
    if (newBitmap == nullptr || newBitmap == bmp) {
        return;
    }
    if (bmp != nullptr) {
        FreeImage_Unload(bmp);
    }
    bmp = newBitmap;
}

void ofImage::setUseTexture(bool use) {
    useTexture = use;
}

void ofImage::draw(float x, float y, float w, float h) {
    if (useTexture) {
        texture.draw(x, y, w, h);
    }
}

void ofImage::draw(float x, float y) {
    draw(x, y, static_cast<float>(width), static_cast<float>(height));
}

// ---- Image library lifetime ----------------------------------------------------------

void ofCloseFreeImage() {
    if (bFreeImageInited) {
        FreeImage_DeInitialise();
        bFreeImageInited = false;
    }
}
