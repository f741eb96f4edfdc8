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

// The test pictures "quadrants": red top left, green top right, blue bottom left, white (JPEG)
// or transparent/black bottom right. Corners are given as letters, top left, top right, bottom
// left, bottom right.
QColor Colour(QChar letter) {
    switch (letter.toLatin1()) {
    case 'R':
        return QColor(255, 0, 0);
    case 'G':
        return QColor(0, 255, 0);
    case 'B':
        return QColor(0, 0, 255);
    case 'W':
        return QColor(255, 255, 255);
    default:
        return QColor();
    }
}

bool Near(QRgb pixel, const QColor& expected) {
    return qAbs(qRed(pixel) - expected.red()) <= 48 && qAbs(qGreen(pixel) - expected.green()) <= 48 &&
           qAbs(qBlue(pixel) - expected.blue()) <= 48;
}

QImage Quadrants(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            image.setPixel(x, y,
                           bottom ? (right ? 0xffffffff : 0xff0000ff) : (right ? 0xff00ff00 : 0xffff0000));
        }
    return image;
}

} // namespace

class PicturePreviewTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void ShowsPicturePlacedInBox_data();
    void ShowsPicturePlacedInBox();
    void ScalesSmoothly();
    void UnopenableFileChangesNothing_data();
    void UnopenableFileChangesNothing();
    void DamagedFileThrowsAndChangesNothing_data();
    void DamagedFileThrowsAndChangesNothing();

  private:
    std::string Path(const QString& name) const {
        return QFile::encodeName(dir_->filePath(name)).toStdString();
    }
    void ShowQuadrantsJpeg();

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

void PicturePreviewTest::ShowQuadrantsJpeg() {
    QVERIFY(preview_->Load((kPictures + "quadrants.jpg").toStdString(), 32));
    QCOMPARE(label_->geometry(), QRect(528, 144, 64, 48));
}

void PicturePreviewTest::ShowsPicturePlacedInBox_data() {
    QTest::addColumn<QString>("source"); // in the test data, or "WxH" for a picture made here
    QTest::addColumn<QString>("copy_as");
    QTest::addColumn<int>("box_top");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("corners");

    const QRect quadrants(528, 144, 64, 48);
    QTest::newRow("jpeg") << "quadrants.jpg"
                          << "" << 32 << QSize(64, 48) << quadrants << "RGBW";
    QTest::newRow("JPG in capitals") << "quadrants.jpg"
                                     << "BILD.JPG" << 32 << QSize(64, 48) << quadrants << "RGBW";
    QTest::newRow("jpeg ending") << "quadrants.jpg"
                                 << "bild.jpeg" << 32 << QSize(64, 48) << quadrants << "RGBW";
    QTest::newRow("progressive jpeg") << "quadrants_progressive.jpg"
                                      << "" << 32 << QSize(64, 48) << quadrants << "RGBW";
    QTest::newRow("png") << "quadrants.png"
                         << "" << 32 << QSize(64, 48) << quadrants << "RGB-";
    QTest::newRow("gif") << "quadrants.gif"
                         << "Bild.Gif" << 32 << QSize(64, 48) << quadrants << "RGB-";
    // Exif orientation 6: turned a quarter clockwise, so upright the picture is 48 x 64.
    QTest::newRow("exif rotated a quarter") << "exif_orientation_6.jpg"
                                            << "" << 32 << QSize(48, 64) << QRect(536, 136, 48, 64) << "BRWG";
    QTest::newRow("exif upside down") << "exif_orientation_3.jpg"
                                      << "" << 32 << QSize(64, 48) << quadrants << "WBGR";
    QTest::newRow("box lower down") << "checker.png"
                                    << "" << 50 << QSize(256, 256) << QRect(432, 58, 256, 256) << "";
    QTest::newRow("photo scaled down")
        << "800x600"
        << "photo.png" << 32 << QSize(800, 600) << QRect(424, 66, 273, 205) << "RGBW";
    QTest::newRow("upright photo scaled down")
        << "600x800"
        << "photo.jpg" << 32 << QSize(600, 800) << QRect(458, 32, 205, 273) << "RGBW";
    // Its scan data is missing: what was decoded is shown, at the natural size's proportions.
    QTest::newRow("huge, reduced while decoded")
        << "huge_baseline.jpg"
        << "" << 32 << QSize(15000, 10000) << QRect(424, 77, 273, 182) << "";
}

void PicturePreviewTest::ShowsPicturePlacedInBox() {
    QFETCH(QString, source);
    QFETCH(QString, copy_as);
    QFETCH(int, box_top);
    QFETCH(QSize, natural);
    QFETCH(QRect, geometry);
    QFETCH(QString, corners);

    std::string path = (kPictures + source).toStdString();
    if (source.contains('x') && !source.contains('.')) {
        const QStringList sides = source.split('x');
        QVERIFY(Quadrants(sides[0].toInt(), sides[1].toInt()).save(dir_->filePath(copy_as), nullptr, 95));
        path = Path(copy_as);
    } else if (!copy_as.isEmpty()) {
        QVERIFY(QFile::copy(kPictures + source, dir_->filePath(copy_as)));
        path = Path(copy_as);
    }
    preview_->Hide();

    QVERIFY(preview_->Load(path, box_top));
    QCOMPARE(preview_->NaturalSize().width, natural.width());
    QCOMPARE(preview_->NaturalSize().height, natural.height());
    QCOMPARE(label_->geometry(), geometry);
    QVERIFY(label_->isVisible());
    QVERIFY(label_->hasScaledContents());
    const QImage shown = label_->pixmap().toImage();
    QCOMPARE(shown.size(), geometry.size()); // scaled once, well, rather than stretched by the label
    if (corners.isEmpty())
        return;
    const int w = shown.width();
    const int h = shown.height();
    const QPoint centres[] = {{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    for (int i = 0; i < 4; ++i) {
        const QColor expected = Colour(corners[i]);
        if (expected.isValid())
            QVERIFY2(Near(shown.pixel(centres[i]), expected),
                     qPrintable(QString("quarter %1 is #%2").arg(i).arg(shown.pixel(centres[i]), 8, 16)));
    }
}

// One-pixel stripes reduced by almost a half must blend to grey; a nearest-pixel scaling would
// show pure black or white.
void PicturePreviewTest::ScalesSmoothly() {
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

void PicturePreviewTest::UnopenableFileChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hidden_before");
    QTest::newRow("deleted after listing") << "gone.jpg" << false;
    QTest::newRow("deleted, preview hidden") << "gone.jpg" << true;
    QTest::newRow("folder named like a picture") << "folder.jpg" << false;
}

void PicturePreviewTest::UnopenableFileChangesNothing() {
    QFETCH(QString, name);
    QFETCH(bool, hidden_before);
    QVERIFY(QDir(dir_->path()).mkdir("folder.jpg"));
    ShowQuadrantsJpeg();
    if (hidden_before)
        preview_->Hide();
    const qint64 picture = label_->pixmap().cacheKey();

    QVERIFY(!preview_->Load(Path(name), 100));
    QCOMPARE(label_->pixmap().cacheKey(), picture);
    QCOMPARE(label_->geometry(), QRect(528, 144, 64, 48));
    QCOMPARE(label_->isHidden(), hidden_before);
    QCOMPARE(preview_->NaturalSize().width, 64);
    QCOMPARE(preview_->NaturalSize().height, 48);
}

void PicturePreviewTest::DamagedFileThrowsAndChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("jpeg cut before its data") << "truncated_header.jpg";
    QTest::newRow("empty jpeg") << "zero_length.jpg";
    QTest::newRow("png with bad checksum") << "png_bad_crc.png";
    QTest::newRow("gif cut short") << "gif_truncated.gif";
    QTest::newRow("png too large") << "huge_dimensions.png";
}

void PicturePreviewTest::DamagedFileThrowsAndChangesNothing() {
    QFETCH(QString, name);
    ShowQuadrantsJpeg();
    const qint64 picture = label_->pixmap().cacheKey();

    bool thrown = false;
    try {
        preview_->Load((kPictures + name).toStdString(), 100);
    } catch (const qlm::DecodeError& error) {
        thrown = true;
        QVERIFY(std::string(error.what()).size() > 0);
    }
    QVERIFY(thrown);
    QCOMPARE(label_->pixmap().cacheKey(), picture);
    QCOMPARE(label_->geometry(), QRect(528, 144, 64, 48));
    QVERIFY(label_->isVisible());
    QCOMPARE(preview_->NaturalSize().width, 64);
    QCOMPARE(preview_->NaturalSize().height, 48);
}

QTEST_MAIN(PicturePreviewTest)
#include "picture_preview_test.moc"
