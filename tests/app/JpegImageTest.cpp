#include "app/JpegImage.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace orvex;

namespace {

QByteArray artworkBytes() {
    QFile file(qEnvironmentVariable("ORVEX_SOURCE_DIR") + QStringLiteral("/app/pictures/about-artwork.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(JpegImage, DecodesTheAboutArtwork) {
    const QByteArray bytes = artworkBytes();
    ASSERT_FALSE(bytes.isEmpty());
    QString error;
    const QImage image = decodeJpeg(bytes, &error);
    ASSERT_FALSE(image.isNull()) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(251, 294));
    // White at the top corner, the logo's blue ring at its top.
    const QColor corner = image.pixelColor(2, 2);
    EXPECT_GE(corner.red(), 245);
    EXPECT_GE(corner.blue(), 245);
    const QColor ring = image.pixelColor(91, 68);
    EXPECT_LT(ring.red(), 80);
    EXPECT_GT(ring.blue(), 130);
}

TEST(JpegImage, RefusesWhatIsNoJpeg) {
    for (const QByteArray& bytes : {QByteArray(), QByteArray("GIF89a not a jpeg"), QByteArray(1000, '\0'),
                                    QByteArray("\xFF\xD8\xFF", 3)}) {
        QString error;
        EXPECT_TRUE(decodeJpeg(bytes, &error).isNull());
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(JpegImage, RefusesHugeDimensionsWithoutAllocating) {
    QByteArray bytes = artworkBytes();
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    // Frame header: marker, length (2), precision (1), height (2), width (2).
    // 65000 x 65000: within what JPEG can describe, far beyond what the program would hold.
    for (int i : {5, 7}) {
        bytes[sof + i] = char(0xFD);
        bytes[sof + i + 1] = char(0xE8);
    }
    QString error;
    EXPECT_TRUE(decodeJpeg(bytes, &error).isNull());
    EXPECT_TRUE(error.contains(QStringLiteral("too large"))) << error.toStdString();
}

TEST(JpegImage, PictureCutShortDecodesAsFarAsItGoes) {
    const QByteArray bytes = artworkBytes();
    const QImage image = decodeJpeg(bytes.left(bytes.size() / 2));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(251, 294));
}

// Every single-byte corruption of the headers and the start of the data either decodes or fails
// cleanly; none may crash or read out of bounds (the sanitizer build checks the latter).
TEST(JpegImage, SurvivesFlippedBytes) {
    const QByteArray original = artworkBytes();
    ASSERT_GT(original.size(), 800);
    int decoded = 0;
    for (int offset = 0; offset < 800; ++offset) {
        QByteArray bytes = original;
        bytes[offset] = char(bytes[offset] ^ 0x5A);
        QString error;
        const QImage image = decodeJpeg(bytes, &error);
        if (!image.isNull()) {
            ++decoded;
            EXPECT_LE(qint64(image.width()) * image.height(), kMaxJpegPixels);
        } else {
            EXPECT_FALSE(error.isEmpty()) << "offset " << offset;
        }
    }
    EXPECT_GT(decoded, 0);
}
