#include "gui/ActionIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quillmark {

namespace {

// One palette for all pictures: dark outlines, white paper, one accent each.
const QColor kInk(0x2F, 0x3E, 0x4E);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kBlue(0x2B, 0x7B, 0xD6);
const QColor kGreen(0x2E, 0x9D, 0x57);
const QColor kAmber(0xE8, 0xA3, 0x17);
const QColor kGrey(0x9A, 0xA5, 0xB1);

QPen Ink(qreal width = 2.5) {
    return QPen(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet with a folded corner in the 48 x 48 grid.
void Sheet(QPainter& p, const QRectF& r) {
    const qreal fold = 9;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(Ink());
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawPolyline(QPolygonF(
        {{r.right() - fold, r.top()}, {r.right() - fold, r.top() + fold}, {r.right(), r.top() + fold}}));
}

void Badge(QPainter& p, const QPointF& centre, const QColor& colour) {
    p.setPen(QPen(kPaper, 2));
    p.setBrush(colour);
    p.drawEllipse(centre, 10, 10);
}

void Quotes(QPainter& p, const QPointF& at, const QColor& colour, qreal scale = 1) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (int i = 0; i < 2; ++i) {
        const QPointF origin = at + QPointF(i * 7 * scale, 0);
        QPainterPath mark;
        mark.addEllipse(origin, 3 * scale, 3 * scale);
        mark.moveTo(origin + QPointF(3 * scale, 0));
        mark.quadTo(origin + QPointF(3 * scale, 6 * scale), origin + QPointF(-2 * scale, 8 * scale));
        mark.lineTo(origin + QPointF(-1 * scale, 6 * scale));
        mark.quadTo(origin + QPointF(1 * scale, 4 * scale), origin + QPointF(0, 3 * scale));
        p.drawPath(mark);
    }
}

void Box(QPainter& p, const QRectF& r, bool checked) {
    p.setPen(Ink(2));
    p.setBrush(kPaper);
    p.drawRoundedRect(r, 2, 2);
    if (!checked) return;
    p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{r.left() + 2.5, r.center().y()},
                              {r.left() + r.width() * 0.42, r.bottom() - 2.5},
                              {r.right() - 2, r.top() + 2}}));
}

void DrawCheckList(QPainter& p, bool checked) {
    for (int row = 0; row < 3; ++row) {
        const qreal y = 6 + row * 13;
        Box(p, QRectF(6, y, 10, 10), checked);
        p.setPen(QPen(checked ? kInk : kGrey, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(22, y + 5), QPointF(42, y + 5));
    }
}

void Draw(QPainter& p, TActionIcon icon) {
    switch (icon) {
        case TActionIcon::FileNew:
            Sheet(p, QRectF(9, 4, 28, 38));
            Badge(p, QPointF(35, 36), kGreen);
            p.setPen(QPen(kPaper, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(35, 31), QPointF(35, 41));
            p.drawLine(QPointF(30, 36), QPointF(40, 36));
            break;
        case TActionIcon::OpenSettings: {
            p.setPen(Ink());
            p.setBrush(kAmber.lighter(130));
            p.drawRoundedRect(QRectF(4, 10, 38, 30), 3, 3);
            p.setBrush(kAmber);
            QPainterPath front;
            front.moveTo(4, 40);
            front.lineTo(11, 20);
            front.lineTo(45, 20);
            front.lineTo(42, 40);
            front.closeSubpath();
            p.drawPath(front);
            break;
        }
        case TActionIcon::SaveSettings:
            p.setPen(Ink());
            p.setBrush(kBlue);
            p.drawRoundedRect(QRectF(6, 6, 36, 36), 4, 4);
            p.setBrush(kPaper);
            p.drawRect(QRectF(13, 6, 22, 13));
            p.drawRoundedRect(QRectF(12, 26, 24, 16), 2, 2);
            p.setBrush(kInk);
            p.drawRect(QRectF(27, 9, 4, 7));
            break;
        case TActionIcon::SaveCsv:
            Sheet(p, QRectF(7, 4, 30, 40));
            p.setPen(QPen(kGrey, 1.5));
            for (int row = 0; row < 4; ++row)
                p.drawLine(QPointF(11, 20 + row * 6), QPointF(33, 20 + row * 6));
            p.drawLine(QPointF(22, 17), QPointF(22, 39));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(kBlue.red(), kBlue.green(), kBlue.blue(), 70));
            p.drawRect(QRectF(11, 17, 11, 22));
            Quotes(p, QPointF(13, 8), kBlue, 0.8);
            Badge(p, QPointF(36, 36), kBlue);
            p.setPen(QPen(kPaper, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(36, 30), QPointF(36, 41));
            p.drawPolyline(QPolygonF({{31.5, 37}, {36, 41.5}, {40.5, 37}}));
            break;
        case TActionIcon::SaveBatch:
            p.setPen(Ink());
            p.setBrush(kInk);
            p.drawRoundedRect(QRectF(4, 8, 40, 32), 4, 4);
            p.setPen(QPen(kGreen.lighter(140), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({{11, 17}, {18, 23}, {11, 29}}));
            p.setPen(QPen(kPaper, 3.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(22, 31), QPointF(34, 31));
            break;
        case TActionIcon::CheckAll:
            DrawCheckList(p, true);
            break;
        case TActionIcon::Uncheck:
            DrawCheckList(p, false);
            break;
        case TActionIcon::Help: {
            p.setPen(Ink());
            p.setBrush(kBlue);
            p.drawEllipse(QPointF(24, 24), 19, 19);
            QPainterPath mark;
            mark.moveTo(17.5, 18.5);
            mark.cubicTo(17.5, 10, 31, 10, 31, 18);
            mark.cubicTo(31, 23.5, 24, 23.5, 24, 29);
            p.setPen(QPen(kPaper, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(mark);
            p.setPen(Qt::NoPen);
            p.setBrush(kPaper);
            p.drawEllipse(QPointF(24, 35.5), 2.8, 2.8);
            break;
        }
    }
}

class TActionIconEngine final : public QIconEngine {
  public:
    explicit TActionIconEngine(TActionIcon icon) : FIcon(icon) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 48.0, rect.height() / 48.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.35);
        Draw(*painter, FIcon);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap pixmap = this->pixmap(size * scale, mode, state);
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QIconEngine* clone() const override { return new TActionIconEngine(FIcon); }

  private:
    TActionIcon FIcon;
};

}  // namespace

QIcon ActionIcon(TActionIcon icon) {
    return QIcon(new TActionIconEngine(icon));
}

}  // namespace quillmark
