#include "app/JpegImage.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>

namespace orvex {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. It runs inside C frames,
// so it leaves by longjmp back to decodeInto rather than by a C++ exception.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onFatalError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

void onWarning(j_common_ptr) {} // corrupt-data warnings: decode what there is, quietly

// Decodes into *image. Between setjmp and any longjmp this frame creates no C++ object whose
// destructor would be skipped; *image lives in the caller's frame.
bool decodeInto(const unsigned char* bytes, unsigned long size, QImage* image, ErrorManager* manager) {
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&manager->pub);
    manager->pub.error_exit = onFatalError;
    manager->pub.output_message = onWarning;
    manager->message[0] = '\0';
    jpeg_create_decompress(&cinfo);
    if (setjmp(manager->jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_mem_src(&cinfo, bytes, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    if (static_cast<qint64>(cinfo.image_width) * cinfo.image_height > kMaxJpegPixels) {
        std::snprintf(manager->message, sizeof manager->message, "picture of %ux%u pixels is too large",
                      cinfo.image_width, cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    *image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                    QImage::Format_RGB888);
    if (image->isNull() || cinfo.output_components != 3) {
        std::snprintf(manager->message, sizeof manager->message, "cannot hold the decoded picture");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray& data, QString* error) {
    QImage image;
    ErrorManager manager{};
    const bool ok = !data.isEmpty() && decodeInto(reinterpret_cast<const unsigned char*>(data.constData()),
                                                  static_cast<unsigned long>(data.size()), &image, &manager);
    if (!ok) {
        if (error)
            *error =
                data.isEmpty() ? QStringLiteral("empty JPEG data") : QString::fromLocal8Bit(manager.message);
        return QImage();
    }
    return image;
}

} // namespace orvex
