// SPDX-License-Identifier: GPL-3.0-or-later
// The picture preview: decoding through the picture loader, smooth scaling, placement in the box,
// and that a picture which cannot be opened or decoded leaves everything as it was.

#include "core/picture.h"
#include "ui/picture_preview.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

using qlm::ui::PicturePreview;

namespace {

const QString kPictures = QStringLiteral(QLM_TEST_DATA_DIR "/pictures/");
const QRect kQuadrantsPlace(528, 144, 64, 48);

bool Near(QRgb pixel, const QColor& expected) {
    return qAbs(qRed(pixel) - expected.red()) <= 48 && qAbs(qGreen(pixel) - expected.green()) <= 48 &&
           qAbs(qBlue(pixel) - expected.blue()) <= 48;
}

// Red, green, blue and white quarters, like the test data's "quadrants" pictures.
QImage Quadrants(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    const QRgb quarters[] = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, quarters[(y >= height / 2) * 2 + (x >= width / 2)]);
    return image;
}

} // namespace

class PicturePreviewTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void shows_picture_placed_in_box_data();
    void shows_picture_placed_in_box();
    void scales_smoothly();
    void failed_load_changes_nothing_data();
    void failed_load_changes_nothing();

  private:
    std::string Path(const QString& name) const {
        return QFile::encodeName(dir_->filePath(name)).toStdString();
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QWidget> window_;
    QLabel* label_ = nullptr;
    std::unique_ptr<PicturePreview> preview_;
};

void PicturePreviewTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    window_ = std::make_unique<QWidget>();
    window_->resize(716, 405);
    label_ = new QLabel(window_.get());
    label_->setGeometry(424, 32, 273, 273);
    preview_ = std::make_unique<PicturePreview>(label_);
    window_->show();
}

void PicturePreviewTest::cleanup() {
    preview_.reset();
    window_.reset();
    dir_.reset();
}

void PicturePreviewTest::shows_picture_placed_in_box_data() {
    QTest::addColumn<QString>("source"); // in the test data, or "WxH" for a picture made here
    QTest::addColumn<QString>("copy_as");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QStringList>("quarters"); // colours of the four quarters, "" where unchecked

    const QStringList rgbw{"red", "lime", "blue", "white"};
    QTest::newRow("jpeg") << "quadrants.jpg"
                          << "" << QSize(64, 48) << kQuadrantsPlace << rgbw;
    QTest::newRow("png") << "quadrants.png"
                         << "" << QSize(64, 48) << kQuadrantsPlace << QStringList{"red", "lime", "blue", ""};
    QTest::newRow("gif, ending in mixed case")
        << "quadrants.gif"
        << "Bild.Gif" << QSize(64, 48) << kQuadrantsPlace << QStringList{"red", "lime", "blue", ""};
    // Exif orientation 6: turned a quarter clockwise, so upright the picture is 48 x 64.
    QTest::newRow("exif rotated a quarter")
        << "exif_orientation_6.jpg"
        << "" << QSize(48, 64) << QRect(536, 136, 48, 64) << QStringList{"blue", "red", "white", "lime"};
    QTest::newRow("upright photo scaled down")
        << "600x800"
        << "photo.jpg" << QSize(600, 800) << QRect(458, 32, 205, 273) << rgbw;
    // Its scan data is missing: what was decoded is shown, at the natural size's proportions.
    QTest::newRow("huge, reduced while decoded")
        << "huge_baseline.jpg"
        << "" << QSize(15000, 10000) << QRect(424, 77, 273, 182) << QStringList();
}

void PicturePreviewTest::shows_picture_placed_in_box() {
    QFETCH(QString, source);
    QFETCH(QString, copy_as);
    QFETCH(QSize, natural);
    QFETCH(QRect, geometry);
    QFETCH(QStringList, quarters);

    std::string path = (kPictures + source).toStdString();
    if (!source.contains('.')) {
        const QStringList sides = source.split('x');
        QVERIFY(Quadrants(sides[0].toInt(), sides[1].toInt()).save(dir_->filePath(copy_as), nullptr, 95));
        path = Path(copy_as);
    } else if (!copy_as.isEmpty()) {
        QVERIFY(QFile::copy(kPictures + source, dir_->filePath(copy_as)));
        path = Path(copy_as);
    }
    preview_->Hide();

    QVERIFY(preview_->Load(path, 32));
    QCOMPARE(QSize(preview_->NaturalSize().width, preview_->NaturalSize().height), natural);
    QCOMPARE(label_->geometry(), geometry);
    QVERIFY(label_->isVisible());
    const QImage shown = label_->pixmap().toImage();
    QCOMPARE(shown.size(), geometry.size()); // scaled once, well, rather than stretched by the label
    for (int i = 0; i < quarters.size(); ++i) {
        const QPoint centre(shown.width() * (1 + 2 * (i % 2)) / 4, shown.height() * (1 + 2 * (i / 2)) / 4);
        if (!quarters[i].isEmpty())
            QVERIFY2(Near(shown.pixel(centre), QColor(quarters[i])),
                     qPrintable(QString("quarter %1 is #%2").arg(i).arg(shown.pixel(centre), 8, 16)));
    }
}

// One-pixel stripes reduced by almost a half must blend to grey; a nearest-pixel scaling would
// show pure black or white.
void PicturePreviewTest::scales_smoothly() {
    QImage stripes(500, 500, QImage::Format_RGB32);
    for (int x = 0; x < 500; ++x)
        for (int y = 0; y < 500; ++y)
            stripes.setPixel(x, y, x % 2 ? 0xffffffff : 0xff000000);
    QVERIFY(stripes.save(dir_->filePath("stripes.png")));
    QVERIFY(preview_->Load(Path("stripes.png"), 32));
    const QImage shown = label_->pixmap().toImage();
    QCOMPARE(shown.size(), QSize(273, 273));
    for (int x = 100; x < 110; ++x) {
        const int grey = qGray(shown.pixel(x, 136));
        QVERIFY2(grey > 60 && grey < 195, qPrintable(QString("pixel %1 has grey %2").arg(x).arg(grey)));
    }
}

// A file that cannot be opened is ignored quietly; damaged picture data throws. Either way the
// preview keeps its picture, place, visibility and natural size.
void PicturePreviewTest::failed_load_changes_nothing_data() {
    QTest::addColumn<QString>("path"); // below the test's folder, or "data:" and a test picture
    QTest::addColumn<bool>("hidden_before");
    QTest::newRow("deleted after listing") << "gone.jpg" << false;
    QTest::newRow("deleted, preview hidden") << "gone.jpg" << true;
    QTest::newRow("folder named like a picture") << "folder.jpg" << false;
    QTest::newRow("jpeg cut before its data") << "data:truncated_header.jpg" << false;
    QTest::newRow("gif cut short") << "data:gif_truncated.gif" << false;
    QTest::newRow("png too large") << "data:huge_dimensions.png" << false;
}

void PicturePreviewTest::failed_load_changes_nothing() {
    QFETCH(QString, path);
    QFETCH(bool, hidden_before);
    QVERIFY(QDir(dir_->path()).mkdir("folder.jpg"));
    QVERIFY(preview_->Load((kPictures + "quadrants.jpg").toStdString(), 32));
    if (hidden_before)
        preview_->Hide();
    const qint64 picture = label_->pixmap().cacheKey();

    const bool damaged = path.startsWith("data:");
    bool thrown = false;
    try {
        const bool loaded =
            preview_->Load(damaged ? (kPictures + path.mid(5)).toStdString() : Path(path), 100);
        QVERIFY(!loaded);
    } catch (const qlm::DecodeError& error) {
        thrown = true;
        QVERIFY(std::string(error.what()).size() > 0);
    }
    QCOMPARE(thrown, damaged);
    QCOMPARE(label_->pixmap().cacheKey(), picture);
    QCOMPARE(label_->geometry(), kQuadrantsPlace);
    QCOMPARE(label_->isHidden(), hidden_before);
    QCOMPARE(QSize(preview_->NaturalSize().width, preview_->NaturalSize().height), QSize(64, 48));
}

QTEST_MAIN(PicturePreviewTest)
#include "picture_preview_test.moc"
