// SPDX-License-Identifier: GPL-3.0-or-later
// Draws every picture of the window into PNG files. The PNGs are committed and the program's build
// uses them as they are; run this tool only to change a picture:
//   draw_assets <output folder> [<contact sheet.png>]
// The contact sheet shows every picture eight times enlarged on a chequered ground, for checking.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Asset {
    QString name;
    QImage image;
};

QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage Draw(int width, int height, const std::function<void(QPainter&)>& draw) {
    QImage image = Canvas(width, height);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    draw(painter);
    return image;
}

// The disabled form of a picture: its brightness as a light, flat grey, alpha kept.
QImage Greyed(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const int luma = (qRed(pixel) * 299 + qGreen(pixel) * 587 + qBlue(pixel) * 114) / 1000;
            const int grey = 104 + luma * 136 / 255;
            line[x] = qRgba(grey, grey, grey, qAlpha(pixel));
        }
    }
    return image;
}

// Two 32x32 images side by side: the normal one and its grey form.
QImage Strip(const QImage& normal) {
    QImage strip = Canvas(normal.width() * 2, normal.height());
    QPainter painter(&strip);
    painter.drawImage(0, 0, normal);
    painter.drawImage(normal.width(), 0, Greyed(normal));
    return strip;
}

QPointF OnCircle(QPointF centre, double radius, double degrees) {
    const double a = degrees * kPi / 180.0;
    return {centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a)};
}

// An arc drawn clockwise from `from` to `to` (degrees, counter-clockwise from three o'clock) with an
// arrow head at its end.
void CircleArrow(QPainter& p, QPointF centre, double radius, double from, double to, double pen, double head,
                 const QColor& colour) {
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, pen, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawArc(box, int(std::lround(to * 16)), int(std::lround((from - to) * 16)));
    const double a = to * kPi / 180.0;
    const QPointF end = OnCircle(centre, radius, to);
    const QPointF along(std::sin(a), std::cos(a)); // direction of clockwise travel
    const QPointF outward(std::cos(a), -std::sin(a));
    QPolygonF tip;
    tip << end + along * head << end + outward * head * 0.95 - along * head * 0.25
        << end - outward * head * 0.95 - along * head * 0.25;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(tip);
}

// A sheet of paper with its top right corner folded.
void Page(QPainter& p, const QRectF& r, double fold) {
    QPolygonF sheet;
    sheet << r.topLeft() << QPointF(r.right() - fold, r.top()) << QPointF(r.right(), r.top() + fold)
          << r.bottomRight() << r.bottomLeft();
    QLinearGradient paper(r.topLeft(), r.bottomRight());
    paper.setColorAt(0, QColor(255, 255, 255));
    paper.setColorAt(1, QColor(226, 230, 236));
    p.setBrush(paper);
    p.setPen(QPen(QColor(96, 104, 116), 1));
    p.drawPolygon(sheet);
    QPolygonF corner;
    corner << QPointF(r.right() - fold, r.top()) << QPointF(r.right() - fold, r.top() + fold)
           << QPointF(r.right(), r.top() + fold);
    p.setBrush(QColor(200, 206, 216));
    p.drawPolygon(corner);
}

void TextLines(QPainter& p, double left, double right, double top, int count) {
    p.setPen(QPen(QColor(150, 160, 176), 1));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(left, top + 3 * i), QPointF(right - (i % 2) * 3, top + 3 * i));
}

void CheckMark(QPainter& p, const QPolygonF& line, double width, const QColor& dark, const QColor& light) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(dark, width + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(line);
    p.setPen(QPen(light, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(line);
}

const QColor kGreen(52, 168, 52);
const QColor kDarkGreen(22, 104, 28);
const QColor kRed(222, 34, 30);
const QColor kDarkRed(140, 10, 10);

// The program's emblem in a 64x64 square: a quill laid over a framed picture of a moor.
void Emblem(QPainter& p) {
    const QRectF frame(3.5, 9.5, 46, 40);
    QLinearGradient wood(frame.topLeft(), frame.bottomRight());
    wood.setColorAt(0, QColor(222, 172, 84));
    wood.setColorAt(1, QColor(146, 92, 30));
    p.setPen(QPen(QColor(104, 62, 18), 1));
    p.setBrush(wood);
    p.drawRoundedRect(frame, 2, 2);

    const QRectF view = frame.adjusted(5, 5, -5, -5);
    p.save();
    p.setClipRect(view);
    QLinearGradient sky(view.topLeft(), view.bottomLeft());
    sky.setColorAt(0, QColor(120, 184, 246));
    sky.setColorAt(1, QColor(222, 240, 255));
    p.setPen(Qt::NoPen);
    p.fillRect(view, sky);
    p.setBrush(QColor(255, 206, 60));
    p.drawEllipse(QPointF(view.left() + 9, view.top() + 8), 4, 4);
    QPainterPath heather;
    heather.moveTo(view.left(), view.bottom() - 11);
    heather.cubicTo(view.left() + 12, view.bottom() - 20, view.left() + 22, view.bottom() - 16, view.right(),
                    view.bottom() - 19);
    heather.lineTo(view.bottomRight());
    heather.lineTo(view.bottomLeft());
    p.setBrush(QColor(150, 110, 170));
    p.drawPath(heather);
    QPainterPath grass;
    grass.moveTo(view.left(), view.bottom() - 5);
    grass.cubicTo(view.left() + 14, view.bottom() - 12, view.left() + 26, view.bottom() - 4, view.right(),
                  view.bottom() - 9);
    grass.lineTo(view.bottomRight());
    grass.lineTo(view.bottomLeft());
    p.setBrush(QColor(86, 150, 64));
    p.drawPath(grass);
    p.restore();
    p.setPen(QPen(QColor(104, 62, 18), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(view);

    // The quill: drawn along the x axis from the nib, then turned into place.
    p.save();
    const QPointF nib(27, 61);
    const QPointF top(61, 3);
    const double length = std::hypot(top.x() - nib.x(), top.y() - nib.y());
    p.translate(nib);
    p.rotate(std::atan2(top.y() - nib.y(), top.x() - nib.x()) * 180.0 / kPi);
    QPainterPath vane;
    vane.moveTo(13, 0);
    vane.cubicTo(22, -10, 46, -11, length, 0);
    vane.cubicTo(48, 5, 26, 7, 13, 0);
    QLinearGradient plume(QPointF(0, -9), QPointF(0, 6));
    plume.setColorAt(0, QColor(255, 255, 255));
    plume.setColorAt(1, QColor(214, 222, 232));
    p.setPen(QPen(QColor(70, 80, 96), 1));
    p.setBrush(plume);
    p.drawPath(vane);
    p.setPen(QPen(QColor(150, 160, 176), 0.8));
    for (double x = 22; x < length - 6; x += 5) {
        p.drawLine(QPointF(x, -0.5), QPointF(x + 5, -5.5));
        p.drawLine(QPointF(x, 0.5), QPointF(x + 4, 3.5));
    }
    p.setPen(QPen(QColor(70, 80, 96), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 0), QPointF(length - 2, 0));
    QPolygonF point;
    point << QPointF(0, 0) << QPointF(6, -1.8) << QPointF(6, 1.8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(34, 40, 70));
    p.drawPolygon(point);
    p.restore();
}

QImage Icon(int size) {
    return Draw(size, size, [size](QPainter& p) {
        p.scale(size / 64.0, size / 64.0);
        Emblem(p);
    });
}

QImage Logo() {
    return Draw(108, 87, [](QPainter& p) {
        p.save();
        p.translate(23, 0);
        p.scale(62 / 64.0, 62 / 64.0);
        Emblem(p);
        p.restore();
        QFont font("Liberation Serif", 10);
        font.setPixelSize(19);
        font.setItalic(true);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(84, 56, 24));
        p.drawText(QRectF(0, 61, 108, 26), Qt::AlignHCenter | Qt::AlignVCenter, "Quillmoor");
    });
}

QImage MakeHtml() {
    return Draw(24, 24, [](QPainter& p) {
        Page(p, QRectF(3.5, 1.5, 17, 21), 5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(214, 84, 30), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{QPointF(9, 9.5), QPointF(6.5, 13), QPointF(9, 16.5)});
        p.drawPolyline(QPolygonF{QPointF(15, 9.5), QPointF(17.5, 13), QPointF(15, 16.5)});
        p.setPen(QPen(QColor(40, 90, 180), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13.2, 8.5), QPointF(10.8, 17.5));
    });
}

QImage ReloadDefs() {
    return Draw(24, 24, [](QPainter& p) {
        Page(p, QRectF(1.5, 1.5, 15, 19), 4);
        TextLines(p, 4, 12, 8, 4);
        const QPointF centre(16.5, 16.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255, 220), 4.5));
        p.drawEllipse(centre, 4.2, 4.2); // keeps the arrow apart from the page's lines
        CircleArrow(p, centre, 4.2, 100, -160, 2.1, 3.6, kDarkGreen);
    });
}

QImage CorrectNames() {
    return Draw(24, 24, [](QPainter& p) {
        QFont font("Liberation Sans", 10);
        font.setPixelSize(14);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(30, 60, 140));
        p.drawText(QRectF(0, 0, 19, 14), Qt::AlignLeft | Qt::AlignVCenter, "Aa");
        p.setPen(QPen(QColor(30, 60, 140), 1));
        p.drawLine(QPointF(21.5, 1.5), QPointF(21.5, 12.5)); // text cursor
        p.drawLine(QPointF(20, 1.5), QPointF(23, 1.5));
        p.drawLine(QPointF(20, 12.5), QPointF(23, 12.5));
        CheckMark(p, QPolygonF{QPointF(9.5, 18), QPointF(13, 21.5), QPointF(20, 14.5)}, 2.4, kDarkGreen,
                  kGreen);
    });
}

QImage CorrectInfo() {
    return Draw(24, 24, [](QPainter& p) {
        Page(p, QRectF(3.5, 1.5, 17, 21), 5);
        const QPointF centre(12, 13.5);
        QRadialGradient disk(centre - QPointF(2, 2), 8);
        disk.setColorAt(0, QColor(90, 150, 240));
        disk.setColorAt(1, QColor(24, 80, 180));
        p.setPen(QPen(QColor(16, 56, 130), 1));
        p.setBrush(disk);
        p.drawEllipse(centre, 6, 6);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 10.3), 1.25, 1.25);
        p.drawRoundedRect(QRectF(10.9, 12.3, 2.2, 5.2), 0.6, 0.6);
    });
}

// The drive of the picture button: a white drive seen from the front with its red lamp.
QImage Drives() {
    return Draw(20, 16, [](QPainter& p) {
        const QRectF body(1.5, 3.5, 17, 10);
        QLinearGradient shine(body.topLeft(), body.bottomLeft());
        shine.setColorAt(0, QColor(255, 255, 255));
        shine.setColorAt(1, QColor(206, 210, 218));
        p.setPen(QPen(QColor(72, 76, 86), 1));
        p.setBrush(shine);
        p.drawRoundedRect(body, 1.5, 1.5);
        p.setPen(QPen(QColor(120, 126, 136), 1));
        p.drawLine(QPointF(3, 6.5), QPointF(17, 6.5));
        p.setPen(QPen(QColor(60, 64, 72), 1.2));
        p.drawLine(QPointF(4, 10), QPointF(11, 10)); // the slot
        QRadialGradient lamp(QPointF(14.6, 9.4), 2.2);
        lamp.setColorAt(0, QColor(255, 140, 130));
        lamp.setColorAt(1, QColor(210, 16, 16));
        p.setPen(QPen(QColor(120, 0, 0), 0.8));
        p.setBrush(lamp);
        p.drawEllipse(QPointF(15, 10), 1.7, 1.7);
    });
}

QImage Reload() {
    return Draw(20, 16, [](QPainter& p) {
        const QPointF centre(10, 8);
        CircleArrow(p, centre, 5, 170, 45, 2, 3.4, kRed);
        CircleArrow(p, centre, 5, 350, 225, 2, 3.4, kRed);
    });
}

QImage ListDrive() {
    return Draw(16, 16, [](QPainter& p) {
        QPolygonF lid;
        lid << QPointF(3.5, 4.5) << QPointF(12.5, 4.5) << QPointF(14.5, 8.5) << QPointF(1.5, 8.5);
        p.setPen(QPen(QColor(70, 74, 84), 1));
        p.setBrush(QColor(214, 218, 226));
        p.drawPolygon(lid);
        const QRectF front(1.5, 8.5, 13, 4);
        QLinearGradient metal(front.topLeft(), front.bottomLeft());
        metal.setColorAt(0, QColor(176, 182, 194));
        metal.setColorAt(1, QColor(120, 126, 140));
        p.setBrush(metal);
        p.drawRect(front);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 210, 60));
        p.drawEllipse(QPointF(12, 10.5), 1.1, 1.1);
    });
}

QImage ListFolder() {
    return Draw(16, 16, [](QPainter& p) {
        const QColor edge(150, 104, 16);
        QPolygonF back;
        back << QPointF(1.5, 3.5) << QPointF(6, 3.5) << QPointF(7.5, 5) << QPointF(14.5, 5)
             << QPointF(14.5, 13.5) << QPointF(1.5, 13.5);
        p.setPen(QPen(edge, 1));
        p.setBrush(QColor(226, 168, 40));
        p.drawPolygon(back);
        const QRectF front(1.5, 6.5, 13, 7);
        QLinearGradient sun(front.topLeft(), front.bottomLeft());
        sun.setColorAt(0, QColor(255, 228, 120));
        sun.setColorAt(1, QColor(244, 192, 52));
        p.setBrush(sun);
        p.drawRect(front);
    });
}

QImage ListParent() {
    return Draw(16, 16, [](QPainter& p) {
        QPolygonF arrow; // pointing up, centred on the origin
        arrow << QPointF(0, -7) << QPointF(5, -1.5) << QPointF(1.6, -1.5) << QPointF(1.6, 7)
              << QPointF(-1.6, 7) << QPointF(-1.6, -1.5) << QPointF(-5, -1.5);
        p.translate(8, 8);
        p.rotate(-45);
        QLinearGradient fill(QPointF(-5, 0), QPointF(5, 0));
        fill.setColorAt(0, QColor(96, 190, 80));
        fill.setColorAt(1, QColor(36, 128, 40));
        p.setPen(QPen(QColor(20, 84, 24), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(fill);
        p.drawPolygon(arrow);
    });
}

QImage AskQuestion() {
    return Draw(52, 77, [](QPainter& p) {
        QPainterPath hook;
        hook.moveTo(12, 22);
        hook.arcTo(QRectF(12, 7, 28, 28), 180, -235);
        hook.cubicTo(QPointF(29, 39), QPointF(26, 42), QPointF(26, 48));
        hook.lineTo(26, 51);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kDarkRed, 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(hook);
        p.setPen(QPen(kRed, 8.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(hook);
        p.setPen(Qt::NoPen);
        p.setBrush(kDarkRed);
        p.drawEllipse(QPointF(26, 65), 7, 7);
        p.setBrush(kRed);
        p.drawEllipse(QPointF(26, 65), 5.25, 5.25);
        p.setPen(QPen(QColor(255, 150, 140), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(16.5, 11.5, 19, 19), 150 * 16, -70 * 16); // a touch of shine
    });
}

QImage AskOk() {
    return Strip(Draw(32, 32, [](QPainter& p) {
        CheckMark(p, QPolygonF{QPointF(6, 17), QPointF(13, 24), QPointF(26, 8)}, 4.5, kDarkGreen, kGreen);
    }));
}

QImage AskNo() {
    return Strip(Draw(32, 32, [](QPainter& p) {
        CheckMark(p, QPolygonF{QPointF(8, 8), QPointF(24, 24)}, 4.5, kDarkRed, kRed);
        CheckMark(p, QPolygonF{QPointF(24, 8), QPointF(8, 24)}, 4.5, kDarkRed, kRed);
        p.setPen(QPen(kRed, 4.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(24, 24)); // keep the first stroke unbroken where they cross
    }));
}

// Every picture enlarged, row after row, on a chequered ground that shows the transparent parts.
QImage ContactSheet(const std::vector<Asset>& assets, int zoom, int width) {
    std::vector<QPoint> places;
    int x = 8;
    int y = 8;
    int row_height = 0;
    for (const Asset& a : assets) {
        const QSize size = a.image.size() * zoom;
        if (x + size.width() + 8 > width && x > 8) {
            x = 8;
            y += row_height + 8;
            row_height = 0;
        }
        places.emplace_back(x, y);
        x += size.width() + 8;
        row_height = std::max(row_height, size.height());
    }
    QImage sheet = Canvas(width, y + row_height + 8);
    QPainter p(&sheet);
    for (int cy = 0; cy < sheet.height(); cy += zoom)
        for (int cx = 0; cx < sheet.width(); cx += zoom)
            p.fillRect(cx, cy, zoom, zoom,
                       ((cx + cy) / zoom) % 2 ? QColor(240, 240, 240) : QColor(206, 202, 196));
    for (size_t i = 0; i < assets.size(); ++i)
        p.drawImage(QRect(places[i], assets[i].image.size() * zoom), assets[i].image);
    return sheet;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: draw_assets <output folder> [<contact sheet.png>]\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    std::vector<Asset> assets{
        {"quillmoor.png", Icon(64)},
        {"quillmoor_16.png", Icon(16)},
        {"quillmoor_32.png", Icon(32)},
        {"quillmoor_48.png", Icon(48)},
        // The larger sizes serve the desktop menu and software centres only.
        {"quillmoor_128.png", Icon(128)},
        {"quillmoor_256.png", Icon(256)},
        {"logo.png", Logo()},
        {"make_html.png", MakeHtml()},
        {"reload_defs.png", ReloadDefs()},
        {"correct_names.png", CorrectNames()},
        {"correct_info.png", CorrectInfo()},
        {"drives.png", Drives()},
        {"reload.png", Reload()},
        {"list_drive.png", ListDrive()},
        {"list_folder.png", ListFolder()},
        {"list_parent.png", ListParent()},
        {"ask_question.png", AskQuestion()},
        {"ask_ok.png", AskOk()},
        {"ask_no.png", AskNo()},
    };
    for (const char* name :
         {"make_html", "reload_defs", "correct_names", "correct_info", "drives", "reload"}) {
        const QString normal = QString(name) + ".png";
        for (const Asset& a : std::vector<Asset>(assets))
            if (a.name == normal)
                assets.push_back({QString(name) + "_disabled.png", Greyed(a.image)});
    }

    int failures = 0;
    for (const Asset& a : assets) {
        if (!a.image.convertToFormat(QImage::Format_ARGB32).save(out.filePath(a.name), "PNG")) {
            QTextStream(stderr) << "cannot write " << out.filePath(a.name) << "\n";
            ++failures;
        }
    }
    if (argc > 2 && !ContactSheet(assets, 8, 1600).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        QTextStream(stderr) << "cannot write " << argv[2] << "\n";
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
