// quillmark_win32_images SVG FOLDER: writes into FOLDER the tool-bar strips
// toolbar48.bmp, toolbar60.bmp, toolbar72.bmp and toolbar96.bmp (the eight
// pictures side by side in the order of their image indexes, 32 bits with
// premultiplied alpha, as image lists take them) and quillmark.ico, the
// application icon from SVG in the sizes Windows asks for (PNG entries).
// quillmark_win32_images --png IN OUT converts a picture to PNG.
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdint>
#include <cstdio>

#include "gui/ActionIcons.h"

namespace {

void PutLe(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>(value >> (8 * i) & 0xFF));
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Bitmap(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const std::uint32_t pixels = static_cast<std::uint32_t>(image.width() * image.height() * 4);
    QByteArray out;
    out.append("BM");
    PutLe(out, 14 + 40 + pixels, 4);
    PutLe(out, 0, 4);
    PutLe(out, 14 + 40, 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<std::uint32_t>(image.width()), 4);
    PutLe(out, static_cast<std::uint32_t>(image.height()), 4);  // bottom-up rows
    PutLe(out, 1, 2);
    PutLe(out, 32, 2);
    PutLe(out, 0, 4);  // BI_RGB
    PutLe(out, pixels, 4);
    PutLe(out, 3780, 4);
    PutLe(out, 3780, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (int y = image.height() - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            PutLe(out, static_cast<std::uint32_t>(qBlue(row[x]) | qGreen(row[x]) << 8 | qRed(row[x]) << 16),
                  3);
            out.append(static_cast<char>(qAlpha(row[x])));
        }
    }
    return out;
}

QByteArray Icon(QSvgRenderer& renderer, const QList<int>& sizes) {
    QList<QByteArray> pngs;
    for (const int size : sizes) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        pngs.append(png);
    }
    QByteArray out;
    PutLe(out, 0, 2);
    PutLe(out, 1, 2);  // an icon
    PutLe(out, static_cast<std::uint32_t>(sizes.size()), 2);
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const std::uint32_t side = sizes[i] >= 256 ? 0 : static_cast<std::uint32_t>(sizes[i]);
        PutLe(out, side, 1);
        PutLe(out, side, 1);
        PutLe(out, 0, 1);
        PutLe(out, 0, 1);
        PutLe(out, 1, 2);
        PutLe(out, 32, 2);
        PutLe(out, static_cast<std::uint32_t>(pngs[i].size()), 4);
        PutLe(out, offset, 4);
        offset += static_cast<std::uint32_t>(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        out.append(png);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--png")
        return QImage(QString::fromLocal8Bit(argv[2])).save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillmark_win32_images SVG FOLDER | --png IN OUT\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    for (const int size : {48, 60, 72, 96}) {
        QImage strip(size * 8, size, QImage::Format_ARGB32_Premultiplied);
        strip.fill(Qt::transparent);
        QPainter painter(&strip);
        for (int image = 0; image < 8; ++image)
            painter.drawPixmap(
                image * size, 0,
                quillmark::ActionIcon(static_cast<quillmark::TActionIcon>(image)).pixmap(size, size));
        painter.end();
        if (!WriteFile(QString("%1/toolbar%2.bmp").arg(folder).arg(size), Bitmap(strip))) return 1;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) return 1;
    return WriteFile(folder + "/quillmark.ico", Icon(renderer, {16, 20, 24, 32, 40, 48, 64, 256})) ? 0 : 1;
}
