// Draws the program's pictures: the start window's picture (cover.png) and
// the application icon (velmora.png at 256x256 and velmora.svg). Built and
// run by draw_pictures.sh; the results are committed under
// src/app/ui/images/, so the program's build does not need this.
//
// The icon is a list of simple shapes that is both painted and written as
// SVG, so the two icon files always show the same drawing.
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Fill {
    QColor top;
    QColor bottom; // same as top for a plain colour
    qreal y1 = 0, y2 = 0;
};

struct Shape {
    enum Kind { Rect, Circle, Polygon, Line } kind;
    std::vector<QPointF> points; // Rect: top-left, size; Circle: centre, (r, 0); Line: two ends
    qreal radius = 0;            // corner radius of a Rect
    Fill fill;
    bool filled = true;
    QColor stroke = Qt::transparent;
    qreal strokeWidth = 0;
};

Fill plain(const QColor &c) { return Fill{c, c}; }
Fill vertical(const QColor &top, const QColor &bottom, qreal y1, qreal y2) { return Fill{top, bottom, y1, y2}; }

std::vector<Shape> iconShapes()
{
    const QColor ink(0x33, 0x4a, 0x63);
    std::vector<Shape> s;
    // Tile.
    s.push_back({Shape::Rect, {{8, 8}, {240, 240}}, 44,
                 vertical(QColor(0x2b, 0x8c, 0xc4), QColor(0x0e, 0x4a, 0x7e), 8, 248)});
    // Back page and front page with a folded corner.
    s.push_back({Shape::Rect, {{64, 34}, {112, 150}}, 8, plain(QColor(0xc9, 0xe1, 0xf2))});
    s.push_back({Shape::Polygon, {{46, 52}, {132, 52}, {160, 80}, {160, 212}, {46, 212}}, 0,
                 plain(QColor(0xff, 0xff, 0xff))});
    s.push_back({Shape::Polygon, {{132, 52}, {132, 80}, {160, 80}}, 0, plain(QColor(0xb8, 0xcc, 0xdd))});
    // Title bar and text lines of the article.
    s.push_back({Shape::Rect, {{60, 68}, {62, 10}}, 3, plain(QColor(0x1c, 0x6e, 0xa8))});
    for (int i = 0; i < 6; ++i) {
        const qreal y = 94 + i * 16;
        const qreal w = (i % 3 == 2) ? 54 : 86;
        s.push_back({Shape::Rect, {{60, y}, {w, 6}}, 3, plain(QColor(0xb0, 0xbe, 0xcc))});
    }
    // Magnifying glass: handle, rim, lens.
    Shape handle{Shape::Line, {{196, 186}, {228, 218}}, 0, plain(Qt::transparent), false, ink, 20};
    s.push_back(handle);
    s.push_back({Shape::Circle, {{160, 150}, {54, 0}}, 0, plain(ink)});
    s.push_back({Shape::Circle, {{160, 150}, {42, 0}}, 0,
                 vertical(QColor(0xf2, 0xfa, 0xff), QColor(0xd2, 0xec, 0xdf), 108, 192)});
    // Download arrow inside the lens.
    s.push_back({Shape::Polygon,
                 {{151, 120}, {169, 120}, {169, 146}, {183, 146}, {160, 172}, {137, 146}, {151, 146}}, 0,
                 plain(QColor(0x1f, 0x9d, 0x55))});
    s.push_back({Shape::Rect, {{136, 178}, {48, 7}}, 3, plain(QColor(0x1f, 0x9d, 0x55))});
    return s;
}

QBrush brushFor(const Fill &f)
{
    if (f.top == f.bottom)
        return QBrush(f.top);
    QLinearGradient g(0, f.y1, 0, f.y2);
    g.setColorAt(0, f.top);
    g.setColorAt(1, f.bottom);
    return QBrush(g);
}

void paintShapes(QPainter &p, const std::vector<Shape> &shapes)
{
    for (const Shape &s : shapes) {
        p.setPen(s.strokeWidth > 0 ? QPen(s.stroke, s.strokeWidth, Qt::SolidLine, Qt::RoundCap) : QPen(Qt::NoPen));
        p.setBrush(s.filled ? brushFor(s.fill) : QBrush(Qt::NoBrush));
        switch (s.kind) {
        case Shape::Rect:
            p.drawRoundedRect(QRectF(s.points[0], QSizeF(s.points[1].x(), s.points[1].y())), s.radius, s.radius);
            break;
        case Shape::Circle:
            p.drawEllipse(s.points[0], s.points[1].x(), s.points[1].x());
            break;
        case Shape::Polygon:
            p.drawPolygon(s.points.data(), int(s.points.size()));
            break;
        case Shape::Line:
            p.drawLine(s.points[0], s.points[1]);
            break;
        }
    }
}

QString svgColor(const QColor &c) { return c.name(QColor::HexRgb); }

QString svgShapes(const std::vector<Shape> &shapes)
{
    QString defs, body;
    int gradients = 0;
    for (const Shape &s : shapes) {
        QString fill = QStringLiteral("none");
        if (s.filled && s.fill.top == s.fill.bottom) {
            fill = svgColor(s.fill.top);
        } else if (s.filled) {
            const QString id = QStringLiteral("g%1").arg(++gradients);
            defs += QStringLiteral("    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"%2\" "
                                   "x2=\"0\" y2=\"%3\">\n      <stop offset=\"0\" stop-color=\"%4\"/>\n"
                                   "      <stop offset=\"1\" stop-color=\"%5\"/>\n    </linearGradient>\n")
                        .arg(id)
                        .arg(s.fill.y1)
                        .arg(s.fill.y2)
                        .arg(svgColor(s.fill.top), svgColor(s.fill.bottom));
            fill = QStringLiteral("url(#%1)").arg(id);
        }
        QString paint = QStringLiteral("fill=\"%1\"").arg(fill);
        if (s.strokeWidth > 0)
            paint += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\" stroke-linecap=\"round\"")
                         .arg(svgColor(s.stroke))
                         .arg(s.strokeWidth);
        switch (s.kind) {
        case Shape::Rect:
            body += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" %6/>\n")
                        .arg(s.points[0].x())
                        .arg(s.points[0].y())
                        .arg(s.points[1].x())
                        .arg(s.points[1].y())
                        .arg(s.radius)
                        .arg(paint);
            break;
        case Shape::Circle:
            body += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" %4/>\n")
                        .arg(s.points[0].x())
                        .arg(s.points[0].y())
                        .arg(s.points[1].x())
                        .arg(paint);
            break;
        case Shape::Polygon: {
            QStringList pts;
            for (const QPointF &pt : s.points)
                pts << QStringLiteral("%1,%2").arg(pt.x()).arg(pt.y());
            body += QStringLiteral("  <polygon points=\"%1\" %2/>\n").arg(pts.join(QLatin1Char(' ')), paint);
            break;
        }
        case Shape::Line:
            body += QStringLiteral("  <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" %5/>\n")
                        .arg(s.points[0].x())
                        .arg(s.points[0].y())
                        .arg(s.points[1].x())
                        .arg(s.points[1].y())
                        .arg(paint);
            break;
        }
    }
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                          "viewBox=\"0 0 256 256\">\n  <title>Velmora</title>\n  <defs>\n")
           + defs + QStringLiteral("  </defs>\n") + body + QStringLiteral("</svg>\n");
}

QImage drawIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    paintShapes(p, iconShapes());
    return img;
}

// A sheet of paper with a title bar and text lines, drawn around (0, 0).
void drawPage(QPainter &p, qreal w, qreal h, const QColor &bar, bool pdfBadge)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(QRectF(4, 6, w, h), 6, 6);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0, 0, w, h), 6, 6);
    p.setBrush(bar);
    p.drawRoundedRect(QRectF(14, 16, w * 0.52, 9), 3, 3);
    p.setBrush(QColor(0xb6, 0xc3, 0xd0));
    for (int i = 0; i < 9; ++i) {
        const qreal lw = (i % 4 == 3) ? w * 0.45 : w - 28;
        p.drawRoundedRect(QRectF(14, 38 + i * 12, lw, 5), 2, 2);
    }
    if (pdfBadge) {
        p.setBrush(QColor(0xd6, 0x3a, 0x2f));
        p.drawRoundedRect(QRectF(w - 42, 12, 32, 17), 4, 4);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(w - 42, 12, 32, 17), Qt::AlignCenter, QStringLiteral("PDF"));
        p.setPen(Qt::NoPen);
    }
}

QImage drawCover()
{
    const int W = 520, H = 300;
    QImage img(W, H, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, W, H);
    sky.setColorAt(0, QColor(0x0d, 0x3b, 0x66));
    sky.setColorAt(1, QColor(0x1b, 0x7f, 0x9e));
    p.fillRect(img.rect(), sky);

    // A double helix across the right side, faint, behind everything.
    const qreal cx = 482, top = -10, bottom = H + 10, amp = 26;
    for (qreal y = top; y <= bottom; y += 14) {
        const qreal phase = (y - top) / 46.0;
        const qreal x1 = cx + amp * std::sin(phase), x2 = cx - amp * std::sin(phase);
        p.setPen(QPen(QColor(255, 255, 255, 50), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x1, y), QPointF(x2, y));
    }
    for (int strand = 0; strand < 2; ++strand) {
        QPainterPath path;
        for (qreal y = top; y <= bottom; y += 2) {
            const qreal phase = (y - top) / 46.0;
            const qreal x = cx + (strand ? -amp : amp) * std::sin(phase);
            if (y == top)
                path.moveTo(x, y);
            else
                path.lineTo(x, y);
        }
        p.setPen(QPen(strand ? QColor(0x8f, 0xe3, 0xc0, 150) : QColor(0xa8, 0xd8, 0xff, 150), 5,
                      Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }

    // A small stack of articles.
    p.save();
    p.translate(46, 62);
    p.rotate(-9);
    drawPage(p, 118, 150, QColor(0x7a, 0x9c, 0xb8), false);
    p.restore();
    p.save();
    p.translate(70, 56);
    p.rotate(-2);
    drawPage(p, 118, 150, QColor(0x4b, 0x86, 0xb4), false);
    p.restore();
    p.save();
    p.translate(96, 64);
    p.rotate(5);
    drawPage(p, 118, 150, QColor(0x1c, 0x6e, 0xa8), true);
    p.restore();

    // Magnifying glass over the front article.
    const QPointF lens(196, 168);
    p.setPen(QPen(QColor(0x23, 0x34, 0x47), 14, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens + QPointF(30, 30), lens + QPointF(62, 62));
    p.setPen(QPen(QColor(0x23, 0x34, 0x47), 8));
    p.setBrush(QColor(0xe8, 0xf6, 0xff, 110));
    p.drawEllipse(lens, 40, 40);
    p.setPen(QPen(QColor(255, 255, 255, 170), 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(lens.x() - 28, lens.y() - 28, 56, 56), 100 * 16, 60 * 16);

    // Download arrow into a tray.
    const QColor green(0x3d, 0xd6, 0x8c);
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    const QPointF a(348, 196);
    const QPointF arrow[] = {a + QPointF(-9, 0),   a + QPointF(9, 0),   a + QPointF(9, 30),  a + QPointF(24, 30),
                             a + QPointF(0, 56),   a + QPointF(-24, 30), a + QPointF(-9, 30)};
    p.drawPolygon(arrow, 7);
    p.setPen(QPen(green, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QPointF tray[] = {a + QPointF(-40, 50), a + QPointF(-40, 70), a + QPointF(40, 70), a + QPointF(40, 50)};
    p.drawPolyline(tray, 4);

    // Name and purpose.
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(46);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 70));
    p.drawText(QPointF(242, 80), QStringLiteral("Velmora"));
    p.setPen(Qt::white);
    p.drawText(QPointF(240, 78), QStringLiteral("Velmora"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(15);
    p.setFont(sub);
    p.setPen(QColor(0xd8, 0xee, 0xff));
    p.drawText(QPointF(242, 106), QStringLiteral("Search PubMed Central"));
    p.drawText(QPointF(242, 126), QStringLiteral("and download full texts"));
    p.end();
    return img;
}

bool save(const QImage &img, const QString &path)
{
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = save(drawCover(), out + QStringLiteral("/cover.png"));
    ok = save(drawIcon(256), out + QStringLiteral("/velmora.png")) && ok;
    QFile svg(out + QStringLiteral("/velmora.svg"));
    if (svg.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream(&svg) << svgShapes(iconShapes());
    } else {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
