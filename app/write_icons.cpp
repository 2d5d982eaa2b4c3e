// Build step: writes the application icon for the desktop, at every hicolor size and as SVG.
//   aerolyre_write_icons DIR   ->  DIR/aerolyre-N.png for each N in kSizes, DIR/aerolyre.svg
// 16 and 32 px are the window icon's hand-drawn pixels; the others and the SVG are drawn from
// one vector outline of the same design (the board's black and green grid, a golden wave rising
// in pitch and loudness, the white pointer where it ends), so every size shows the same picture.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "res/app_icon.h"

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The outline, in a 256-unit square.
constexpr double kUnits = 256.0;
constexpr double kCornerRadius = 28.0;
constexpr double kGridLines[] = {28.0, 92.0, 156.0, 220.0};
constexpr double kGridWidth = 8.0;
constexpr double kWaveWidth = 12.0;
constexpr double kPointerSize = 24.0;
const char* const kBlack = "#000000";
const char* const kGreen = "#004000";
const char* const kGold = "#F0C040";
const char* const kWhite = "#FFFFFF";

struct Point {
    double x;
    double y;
};

// A chirp: the wave climbs from the bottom left, its cycles shortening and its swing widening.
std::vector<Point> WavePoints() {
    std::vector<Point> points;
    constexpr int kSteps = 120;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = static_cast<double>(i) / kSteps;
        const double dPhase = 2.0 * std::numbers::pi * (1.25 * t + 1.75 * t * t);
        const double dSwing = 8.0 + 26.0 * t;
        points.push_back({18.0 + 198.0 * t, 226.0 - 170.0 * t - dSwing * std::sin(dPhase)});
    }
    return points;
}

Point PointerCentre() {
    const Point end = WavePoints().back();
    return {end.x + 14.0, end.y - 18.0};
}

bool WriteSvg(const QString& path) {
    std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "w");
    if (f == nullptr) return false;
    std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    std::fprintf(
        f,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n");
    std::fprintf(f, "  <clipPath id=\"board\"><rect width=\"256\" height=\"256\" rx=\"%g\"/></clipPath>\n",
                 kCornerRadius);
    std::fprintf(f, "  <rect width=\"256\" height=\"256\" rx=\"%g\" fill=\"%s\"/>\n", kCornerRadius, kBlack);
    std::fprintf(f, "  <g stroke=\"%s\" stroke-width=\"%g\" clip-path=\"url(#board)\">\n", kGreen,
                 kGridWidth);
    for (double g : kGridLines) {
        std::fprintf(f, "    <line x1=\"%g\" y1=\"0\" x2=\"%g\" y2=\"256\"/>\n", g, g);
        std::fprintf(f, "    <line x1=\"0\" y1=\"%g\" x2=\"256\" y2=\"%g\"/>\n", g, g);
    }
    std::fprintf(f,
                 "  </g>\n  <path fill=\"none\" stroke=\"%s\" stroke-width=\"%g\" stroke-linecap=\"round\" "
                 "stroke-linejoin=\"round\" d=\"",
                 kGold, kWaveWidth);
    const std::vector<Point> points = WavePoints();
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::fprintf(f, "%s%.1f,%.1f", i == 0 ? "M" : " L", points[i].x, points[i].y);
    }
    const Point c = PointerCentre();
    std::fprintf(f, "\"/>\n  <rect x=\"%.1f\" y=\"%.1f\" width=\"%g\" height=\"%g\" fill=\"%s\"/>\n</svg>\n",
                 c.x - kPointerSize / 2, c.y - kPointerSize / 2, kPointerSize, kPointerSize, kWhite);
    return std::fclose(f) == 0;
}

QImage DrawIcon(int nSize) {
    QImage image(nSize, nSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(nSize / kUnits, nSize / kUnits);

    QPainterPath clip;
    clip.addRoundedRect(0, 0, kUnits, kUnits, kCornerRadius, kCornerRadius);
    p.fillPath(clip, QColor(kBlack));
    p.setClipPath(clip);
    p.setPen(QPen(QColor(kGreen), kGridWidth, Qt::SolidLine, Qt::FlatCap));
    for (double g : kGridLines) {
        p.drawLine(QPointF(g, 0), QPointF(g, kUnits));
        p.drawLine(QPointF(0, g), QPointF(kUnits, g));
    }

    QPainterPath wave;
    const std::vector<Point> points = WavePoints();
    wave.moveTo(points.front().x, points.front().y);
    for (const Point& pt : points) wave.lineTo(pt.x, pt.y);
    p.setPen(QPen(QColor(kGold), kWaveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(wave);

    const Point c = PointerCentre();
    p.fillRect(QRectF(c.x - kPointerSize / 2, c.y - kPointerSize / 2, kPointerSize, kPointerSize),
               QColor(kWhite));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = WriteSvg(dir + "/aerolyre.svg");
    for (int nSize : kSizes) {
        const QImage image = nSize == 16   ? QImage(kAppIcon16)
                             : nSize == 32 ? QImage(kAppIcon32)
                                           : DrawIcon(nSize);
        ok = image.save(dir + QString("/aerolyre-%1.png").arg(nSize)) && ok;
    }
    return ok ? 0 : 1;
}
