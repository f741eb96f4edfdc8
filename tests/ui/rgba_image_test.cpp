// SPDX-License-Identifier: GPL-3.0-or-later
// The decoders' pixels as a Qt image: refused when they do not fill the picture, and always a copy
// that owns its pixels, whatever the format asked for.

#include "ui/rgba_image.h"

#include <QTest>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

using qlm::Image;
using qlm::ui::RgbaImage;

class RgbaImageTest : public QObject {
    Q_OBJECT

  private slots:
    void pixels_short_of_the_size_are_refused_data();
    void pixels_short_of_the_size_are_refused();
    void copy_outlives_the_decoder_buffer_data();
    void copy_outlives_the_decoder_buffer();
};

void RgbaImageTest::pixels_short_of_the_size_are_refused_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bytes");
    QTest::newRow("no size, no data") << 0 << 0 << 0;
    QTest::newRow("no width") << 0 << 2 << 8;
    QTest::newRow("negative height") << 2 << -1 << 8;
    QTest::newRow("one byte short") << 3 << 2 << 23;
    QTest::newRow("size without data") << 3 << 2 << 0;
}

void RgbaImageTest::pixels_short_of_the_size_are_refused() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bytes);
    const Image image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(bytes), 0x80)};
    for (const QImage::Format format : {QImage::Format_RGBA8888, QImage::Format_ARGB32_Premultiplied})
        QVERIFY_THROWS_EXCEPTION(qlm::DecodeError, RgbaImage(image, format));
}

void RgbaImageTest::copy_outlives_the_decoder_buffer_data() {
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("as decoded") << QImage::Format_RGBA8888;
    QTest::newRow("premultiplied for drawing") << QImage::Format_ARGB32_Premultiplied;
}

void RgbaImageTest::copy_outlives_the_decoder_buffer() {
    QFETCH(QImage::Format, format);
    // Red, then green at half cover; the bytes beyond the picture are not part of it.
    Image image{2, 1, {0xff, 0x00, 0x00, 0xff, 0x00, 0xff, 0x00, 0x80, 0x12, 0x34, 0x56, 0x78}};
    const QImage shown = RgbaImage(image, format);
    // The decoder's buffer is reused for the next picture.
    std::fill(image.rgba.begin(), image.rgba.end(), std::uint8_t{0});
    QCOMPARE(shown.format(), format);
    QCOMPARE(shown.size(), QSize(2, 1));
    QCOMPARE(shown.pixelColor(0, 0), QColor(255, 0, 0, 255));
    QCOMPARE(shown.pixelColor(1, 0).alpha(), 0x80);
    QCOMPARE(shown.pixelColor(1, 0).red(), 0);
    QVERIFY(qAbs(shown.pixelColor(1, 0).green() - 255) <= 1);
}

QTEST_APPLESS_MAIN(RgbaImageTest)
#include "rgba_image_test.moc"
