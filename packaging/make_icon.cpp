// Draws the application icon: a photograph of a sunny hill lying on an album
// cover, in the hicolor sizes the desktop asks for. The drawing is ours and
// made at build time, so the project carries no picture files.
//
//   mirofoto-make-icon OUTPUT_FOLDER SIZE...
//
// writes OUTPUT_FOLDER/<SIZE>x<SIZE>/apps/mirofoto.png for each size.
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>

#include <cstdio>
#include <string>

namespace {

// In a 256 by 256 square.
void draw(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    QLinearGradient cover(0, 12, 0, 244);
    cover.setColorAt(0, QColor(0x2e, 0x6f, 0x8e));
    cover.setColorAt(1, QColor(0x1b, 0x47, 0x5e));
    p.setBrush(cover);
    p.drawRoundedRect(QRectF(12, 12, 232, 232), 36, 36);

    // A second print behind the first.
    p.save();
    p.translate(128, 130);
    p.rotate(9);
    p.setBrush(QColor(0xf3, 0xe6, 0xc8));
    p.drawRoundedRect(QRectF(-84, -70, 168, 140), 8, 8);
    p.restore();

    p.save();
    p.translate(128, 136);
    p.rotate(-6);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(-94, -78, 188, 156), 8, 8);
    const QRectF photo(-82, -66, 164, 132);
    QLinearGradient sky(0, photo.top(), 0, photo.bottom());
    sky.setColorAt(0, QColor(0x6c, 0xbf, 0xee));
    sky.setColorAt(1, QColor(0xd9, 0xf1, 0xfb));
    p.setBrush(sky);
    p.drawRect(photo);
    p.setClipRect(photo);
    p.setBrush(QColor(0xff, 0xa6, 0x2b));
    p.drawEllipse(QPointF(40, -26), 19, 19);
    p.setBrush(QColor(0x62, 0xab, 0x5b));
    p.drawPolygon(QPolygonF({{-82, 66}, {-30, -16}, {8, 28}, {40, 6}, {82, 48}, {82, 66}}));
    p.setBrush(QColor(0x35, 0x7a, 0x40));
    p.drawPolygon(QPolygonF({{-82, 66}, {-82, 26}, {-44, 2}, {4, 66}}));
    p.restore();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: mirofoto-make-icon OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::stoi(argv[i]);
        const QString folder = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.scale(size / 256.0, size / 256.0);
        draw(painter);
        painter.end();
        if (!QDir().mkpath(folder) || !image.save(folder + "/mirofoto.png", "PNG")) {
            std::fprintf(stderr, "mirofoto-make-icon: cannot write %s/mirofoto.png\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
