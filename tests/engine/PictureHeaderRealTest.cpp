// The header reader against pictures real encoders wrote (Qt's image
// writers: libjpeg, libpng, libwebp) and against what Qt's readers say of
// them: the hand-made headers of the other tests could share a mistake with
// the reader, these cannot.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QString>
#include <fstream>
#include <string>

#include "engine/PictureHeader.h"
#include "tests/support/GifWriter.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

QImage Picture(int w, int h, QImage::Format format = QImage::Format_RGB32) {
    QImage img(w, h, format);
    img.fill(QColor(40, 120, 200, format == QImage::Format_ARGB32 ? 128 : 255));
    return img;
}

struct Written {
    const char* what;
    const char* format;
    int w, h;
    int quality = -1;
    bool progressive = false;
    bool alpha = false;
    int metadataSegments = 0;     // JPEG: full APP1 segments put in after its start
    const char* chunk = nullptr;  // WebP: the first chunk the encoder should write
};

TEST(PictureHeaderReal, AgreesWithTheEncodersAndQtsReaders) {
    test::TempDir dir;
    ASSERT_TRUE(QImageWriter::supportedImageFormats().contains("webp"))
        << "the WebP image plugin is missing";
    const std::vector<Written> cases = {
        {"jpeg baseline", "jpeg", 1920, 1080},
        {"jpeg one short", "jpeg", 1919, 1079},
        {"jpeg progressive", "jpeg", 1280, 721, 90, true},
        {"jpeg after 192 KB of metadata", "jpeg", 641, 479, -1, false, false, 3},
        {"png", "png", 1920, 1080},
        {"png with alpha", "png", 3, 2000, -1, false, true},
        {"bmp", "bmp", 1921, 1081},
        {"webp lossy", "webp", 1920, 1080, 80, false, false, 0, "VP8 "},
        {"webp lossless", "webp", 1919, 1080, 100, false, false, 0, "VP8L"},
        {"webp lossy with alpha", "webp", 1920, 1079, 80, false, true, 0, "VP8X"},
    };
    for (const Written& c : cases) {
        const QString path = QString::fromStdString(dir.Path() + "p." + c.format);
        QImageWriter writer(path, c.format);
        writer.setQuality(c.quality);
        writer.setProgressiveScanWrite(c.progressive);
        const QImage img =
            Picture(c.w, c.h, c.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        ASSERT_TRUE(writer.write(img)) << c.what << ": " << writer.errorString().toStdString();
        writer.device()->close();
        std::string bytes;
        {
            std::ifstream in(path.toStdString(), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        if (c.chunk) {
            ASSERT_EQ(bytes.substr(12, 4), c.chunk) << c.what;
        }
        if (c.progressive) {
            EXPECT_NE(bytes.find("\xFF\xC2"), std::string::npos) << c.what;
        }
        if (c.metadataSegments) {
            // Metadata as a camera leaves it, larger than one read of the
            // header reader: segments of the largest length right after
            // the start of image.
            std::string app1;
            for (int i = 0; i < c.metadataSegments; ++i)
                app1 += std::string("\xFF\xE1\xFF\xFF", 4) + std::string(65533, char('0' + i));
            bytes.insert(2, app1);
            std::ofstream(path.toStdString(), std::ios::binary | std::ios::trunc) << bytes;
        }

        const QSize qt = QImageReader(path).size();
        ASSERT_EQ(qt, QSize(c.w, c.h)) << c.what;
        int w = 0, h = 0;
        ASSERT_TRUE(PictureDimensions(path.toStdString(), w, h)) << c.what;
        EXPECT_EQ(w, c.w) << c.what;
        EXPECT_EQ(h, c.h) << c.what;
    }

    // Qt writes no GIF: a real one of the tests' own writer, which Qt reads.
    const std::string gifPath = dir.Path() + "p.gif";
    std::ofstream(gifPath, std::ios::binary) << test::MakeGif(333, 77, {1, 2});
    ASSERT_EQ(QImageReader(QString::fromStdString(gifPath)).size(), QSize(333, 77));
    int w = 0, h = 0;
    ASSERT_TRUE(PictureDimensions(gifPath, w, h));
    EXPECT_EQ(w, 333);
    EXPECT_EQ(h, 77);
}

}  // namespace
}  // namespace pq
