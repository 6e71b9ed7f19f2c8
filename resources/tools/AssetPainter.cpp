// Paints the pictures of the resource library: the application icon "AAA", the question icon
// "IC_QUESTION", the frames of the progress spinner, the stopped sign and the frames of the
// download animation. GIF assembly is left to generate-assets.sh (Qt writes no GIF).
//
// Usage: asset_painter <resource dir> <frame dir>
//   icons go to <resource dir>/<NAME>-<size>.png, frames to <frame dir>/<anim>/NNN.png.

#include <QConicalGradient>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

// The product's palette.
const QColor kBlueLight(0x4c, 0x9a, 0xf0);
const QColor kBlue(0x1f, 0x6f, 0xd1);
const QColor kBlueDark(0x12, 0x4e, 0xa3);
const QColor kBlueEdge(0x0c, 0x3f, 0x88);
const QColor kTrack(0xe3, 0xe9, 0xf1);
const QColor kRed(0xd6, 0x3a, 0x36);
const QColor kRedDark(0xad, 0x22, 0x1f);

constexpr double kPi = std::numbers::pi;

double Rad(double degrees) {
    return degrees * kPi / 180.0;
}

// A point on a circle in Qt's angle convention (degrees, counter-clockwise, y pointing down).
QPointF OnCircle(QPointF centre, double radius, double degrees) {
    return {centre.x() + radius * std::cos(Rad(degrees)),
            centre.y() - radius * std::sin(Rad(degrees))};
}

QImage NewCanvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool Save(const QImage& image, const QString& path) {
    // Straight alpha keeps the PNG free of premultiplication rounding.
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// GIF knows only opaque and transparent pixels: faint edge pixels become transparent, the rest
// are blended onto the colour the picture will be shown on, so edges stay smooth there.
QImage MatteForGif(const QImage& source, QColor matte, int alphaThreshold) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int a = qAlpha(p);
            if (a < alphaThreshold) {
                line[x] = qRgba(0, 0, 0, 0);
                continue;
            }
            auto mix = [a](int c, int m) { return (c * a + m * (255 - a) + 127) / 255; };
            line[x] = qRgba(mix(qRed(p), matte.red()), mix(qGreen(p), matte.green()),
                            mix(qBlue(p), matte.blue()), 255);
        }
    }
    return image;
}

// ---- "AAA": a blue rounded square with a white circular arrow -------------------------------

void PaintAppIcon(QPainter& p, int s) {
    const double scale = s / 256.0;
    // Small sizes get a relatively bolder arrow and tighter margins so they stay legible.
    const bool tiny = s <= 16;
    const bool small = s <= 32;
    const double margin = tiny ? 0.5 : (small ? 1.0 : 12 * scale);
    const double radius = tiny ? 3.0 : (small ? 5.5 : 50 * scale);
    const QRectF body(margin, margin, s - 2 * margin, s - 2 * margin);

    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0.0, kBlueLight);
    fill.setColorAt(1.0, kBlueDark);
    p.setPen(s >= 48 ? QPen(kBlueEdge, 3 * scale) : QPen(kBlueEdge, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(body, radius, radius);

    if (s >= 32) {
        // A soft sheen on the upper half gives depth at the larger sizes.
        QLinearGradient sheen(body.topLeft(), QPointF(body.left(), body.center().y()));
        sheen.setColorAt(0.0, QColor(255, 255, 255, 45));
        sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(sheen);
        const double inset = tiny ? 1.0 : 2.0 * std::max(1.0, 3 * scale);
        p.drawRoundedRect(body.adjusted(inset, inset, -inset, -body.height() / 2),
                          radius - inset / 2, radius - inset / 2);
    }

    // The arrow travels clockwise and ends near the top, its head pointing right.
    const QPointF centre(s / 2.0, s / 2.0 + (tiny ? 0.3 : 2 * scale));
    const double ring = tiny ? 4.4 : (small ? 0.275 * s : 66 * scale);
    const double stroke = tiny ? 2.0 : (small ? 0.106 * s : 26 * scale);
    const double endAngle = 100.0;
    const double sweep = 270.0;
    QPainterPath arc;
    const QRectF box(centre.x() - ring, centre.y() - ring, 2 * ring, 2 * ring);
    arc.arcMoveTo(box, endAngle + sweep);
    arc.arcTo(box, endAngle + sweep, -sweep);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, stroke, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawPath(arc);

    const QPointF end = OnCircle(centre, ring, endAngle);
    const QPointF tangent(std::sin(Rad(endAngle)), std::cos(Rad(endAngle)));
    const QPointF normal(std::cos(Rad(endAngle)), -std::sin(Rad(endAngle)));
    const double head = stroke * (tiny ? 1.35 : 1.4);
    QPolygonF arrow;
    arrow << end + normal * head << end + tangent * head * 1.3 << end - normal * head;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
}

// ---- "IC_QUESTION": a blue disc with a white question mark ----------------------------------

void PaintQuestionIcon(QPainter& p, int s) {
    const double scale = s / 256.0;
    const bool tiny = s <= 16;
    const bool small = s <= 32;
    const double margin = tiny ? 0.5 : (small ? 1.0 : 10 * scale);
    const QRectF disc(margin, margin, s - 2 * margin, s - 2 * margin);

    QRadialGradient fill(QPointF(s * 0.38, s * 0.3), s * 0.75);
    fill.setColorAt(0.0, kBlueLight);
    fill.setColorAt(1.0, kBlueDark);
    p.setPen(s >= 48 ? QPen(kBlueEdge, 3 * scale) : QPen(kBlueEdge, 1.0));
    p.setBrush(fill);
    p.drawEllipse(disc);

    // The hook: an arc over the top that bends into a short stem, then a dot below.
    const double u = s / 16.0; // design unit: the 16 px grid
    const double stroke = tiny ? 2.0 : (small ? 0.1125 * s : 26 * scale);
    const QPointF hook(s * 0.5, s * (tiny ? 0.375 : 0.385));
    const double r = tiny ? 2.6 : 2.7 * u;
    QPainterPath mark;
    const QRectF box(hook.x() - r, hook.y() - r, 2 * r, 2 * r);
    mark.arcMoveTo(box, 165);
    mark.arcTo(box, 165, -225);
    const QPointF stemTop(s * 0.5, s * (tiny ? 0.61 : 0.6));
    mark.quadTo(QPointF(s * 0.5, hook.y() + r * 0.8), stemTop);
    if (!tiny) {
        mark.lineTo(QPointF(s * 0.5, s * 0.63));
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(
        QPen(Qt::white, stroke, Qt::SolidLine, tiny ? Qt::FlatCap : Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(mark);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const double dot = tiny ? 1.15 : stroke * 0.62;
    p.drawEllipse(QPointF(s * 0.5, s * (tiny ? 0.81 : 0.79)), dot, dot);
}

bool WriteIcons(const QDir& out) {
    for (int s : {16, 24, 32, 48, 64, 128, 256}) {
        for (int which = 0; which < 2; ++which) {
            QImage image = NewCanvas(s, s);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            if (which == 0) {
                PaintAppIcon(p, s);
            } else {
                PaintQuestionIcon(p, s);
            }
            p.end();
            const QString name = which == 0 ? "AAA" : "IC_QUESTION";
            if (!Save(image, out.filePath(QString("%1-%2.png").arg(name).arg(s)))) {
                return false;
            }
        }
    }
    return true;
}

// ---- The progress spinner and its stopped state (48 px, shown on the white page card) --------

constexpr int kSpinnerSize = 48;
constexpr int kSpinnerFrames = 24;
const QPointF kSpinnerCentre(24.0, 24.0);
constexpr double kSpinnerRadius = 18.0;
constexpr double kSpinnerStroke = 4.5;

QImage SpinnerFrame(int frame) {
    QImage image = NewCanvas(kSpinnerSize, kSpinnerSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kTrack, kSpinnerStroke));
    p.drawEllipse(kSpinnerCentre, kSpinnerRadius, kSpinnerRadius);

    // A comet: the head leads clockwise, the tail fades out over 240 degrees behind it.
    const double headAngle = 90.0 - frame * (360.0 / kSpinnerFrames);
    const double tail = 240.0;
    QConicalGradient comet(kSpinnerCentre, headAngle);
    comet.setColorAt(0.0, kBlue);
    QColor faded = kBlue;
    faded.setAlpha(0);
    comet.setColorAt(tail / 360.0, faded);
    comet.setColorAt(1.0, faded);
    const QRectF box(kSpinnerCentre.x() - kSpinnerRadius, kSpinnerCentre.y() - kSpinnerRadius,
                     2 * kSpinnerRadius, 2 * kSpinnerRadius);
    p.setPen(QPen(QBrush(comet), kSpinnerStroke, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(box, static_cast<int>(std::lround(headAngle * 16)), static_cast<int>(tail * 16));
    // The round head is painted solid: the gradient wraps to transparent just ahead of it.
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(OnCircle(kSpinnerCentre, kSpinnerRadius, headAngle), kSpinnerStroke / 2,
                  kSpinnerStroke / 2);
    p.end();
    return image;
}

QImage StoppedSign() {
    QImage image = NewCanvas(kSpinnerSize, kSpinnerSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double r = kSpinnerRadius + kSpinnerStroke / 2;
    QLinearGradient fill(QPointF(0, kSpinnerCentre.y() - r), QPointF(0, kSpinnerCentre.y() + r));
    fill.setColorAt(0.0, kRed);
    fill.setColorAt(1.0, kRedDark);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(kSpinnerCentre, r, r);
    // An exclamation mark: a rounded bar and a dot.
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(21.5, 12.0, 5.0, 17.0), 2.5, 2.5);
    p.drawEllipse(QPointF(24.0, 34.5), 3.0, 3.0);
    p.end();
    return image;
}

// ---- Animation 101: documents travel from a globe to a computer (377 x 49 px) ------------------

constexpr int kTransferWidth = 377;
constexpr int kTransferHeight = 49;
constexpr int kTransferFrames = 32;
const QColor kDialogFace(0xef, 0xef, 0xef);

void PaintGlobe(QPainter& p, QPointF c, double r) {
    QRadialGradient sea(c + QPointF(-r * 0.35, -r * 0.4), r * 1.4);
    sea.setColorAt(0.0, QColor(0x7d, 0xbb, 0xf5));
    sea.setColorAt(1.0, kBlueDark);
    p.setPen(QPen(kBlueEdge, 1.0));
    p.setBrush(sea);
    p.drawEllipse(c, r, r);

    // Meridians and parallels, clipped to the sphere.
    QPainterPath sphere;
    sphere.addEllipse(c, r - 0.5, r - 0.5);
    p.save();
    p.setClipPath(sphere);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.2));
    for (double w : {0.35, 0.75}) {
        p.drawEllipse(c, r * w, r);
    }
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    for (double h : {-0.5, 0.0, 0.5}) {
        const double y = c.y() + h * r;
        const double half = r * std::sqrt(1.0 - h * h);
        p.drawLine(QPointF(c.x() - half, y), QPointF(c.x() + half, y));
    }
    p.restore();

    QRadialGradient gloss(c + QPointF(-r * 0.4, -r * 0.45), r * 0.8);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 110));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawEllipse(c, r, r);
}

void PaintComputer(QPainter& p, QPointF c) {
    // Monitor of 44 x 31 px on a short stand, centred on c.
    const QRectF frame(c.x() - 22, c.y() - 20, 44, 31);
    QLinearGradient bezel(frame.topLeft(), frame.bottomLeft());
    bezel.setColorAt(0.0, QColor(0x5a, 0x66, 0x78));
    bezel.setColorAt(1.0, QColor(0x33, 0x3c, 0x49));
    p.setPen(QPen(QColor(0x26, 0x2d, 0x37), 1.0));
    p.setBrush(bezel);
    p.drawRoundedRect(frame, 3, 3);

    const QRectF screen = frame.adjusted(3, 3, -3, -3);
    QLinearGradient glass(screen.topLeft(), screen.bottomRight());
    glass.setColorAt(0.0, QColor(0xdf, 0xee, 0xfd));
    glass.setColorAt(1.0, QColor(0x9c, 0xc2, 0xef));
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawRect(screen);

    // A tray with a downward arrow on the screen: where the documents land.
    p.setPen(QPen(kBlue, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QPointF m = screen.center();
    QPolygonF tray;
    tray << m + QPointF(-8, 2) << m + QPointF(-8, 7) << m + QPointF(8, 7) << m + QPointF(8, 2);
    p.drawPolyline(tray);
    p.drawLine(m + QPointF(0, -8), m + QPointF(0, 3));
    QPolygonF tip;
    tip << m + QPointF(-4, -1) << m + QPointF(0, 3) << m + QPointF(4, -1);
    p.drawPolyline(tip);

    // Stand and foot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x55, 0x66));
    p.drawRect(QRectF(c.x() - 4, frame.bottom(), 8, 5));
    p.drawRoundedRect(QRectF(c.x() - 13, frame.bottom() + 5, 26, 3.5), 1.5, 1.5);
}

void PaintDocument(QPainter& p, QPointF c, double opacity) {
    const double w = 17, h = 22, fold = 5.5;
    const QPointF o(c.x() - w / 2, c.y() - h / 2);
    QPainterPath sheet;
    sheet.moveTo(o);
    sheet.lineTo(o + QPointF(w - fold, 0));
    sheet.lineTo(o + QPointF(w, fold));
    sheet.lineTo(o + QPointF(w, h));
    sheet.lineTo(o + QPointF(0, h));
    sheet.closeSubpath();

    p.save();
    p.setOpacity(opacity);
    p.setPen(QPen(QColor(0x7f, 0x93, 0xae), 1.0));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    QPolygonF corner;
    corner << o + QPointF(w - fold, 0) << o + QPointF(w - fold, fold) << o + QPointF(w, fold);
    p.setBrush(QColor(0xdc, 0xe4, 0xee));
    p.drawPolygon(corner);
    p.setPen(QPen(kBlue, 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i) {
        const double y = o.y() + 8.5 + i * 3.5;
        const double right = i == 3 ? w - 7 : w - 3.5;
        p.drawLine(QPointF(o.x() + 3.5, y), QPointF(o.x() + right, y));
    }
    p.restore();
}

QImage TransferFrame(int frame) {
    QImage image = NewCanvas(kTransferWidth, kTransferHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QPointF globe(36, 24.5);
    const QPointF computer(kTransferWidth - 38.0, 25.0);
    const double trackLeft = 66, trackRight = kTransferWidth - 70.0, trackY = 25;

    // The dotted track flows towards the computer: one dash period every four frames.
    // Dash lengths count in pen widths: a short dash with round caps every 8 px, shifted 2 px
    // per frame, so 32 frames move it by whole periods and the loop is seamless.
    QPen dots(QColor(0xa9, 0xb7, 0xc9), 2.0, Qt::CustomDashLine, Qt::RoundCap);
    dots.setDashPattern({0.5, 3.5});
    dots.setDashOffset(4.0 - frame % 4);
    p.setPen(dots);
    p.drawLine(QPointF(trackLeft, trackY), QPointF(trackRight, trackY));

    PaintGlobe(p, globe, 19);
    PaintComputer(p, computer);

    // Two documents half a journey apart, fading in at the globe and out at the computer.
    for (int k = 0; k < 2; ++k) {
        const double t = std::fmod(static_cast<double>(frame) / kTransferFrames + k * 0.5, 1.0);
        const double x = trackLeft - 4 + t * (trackRight - trackLeft + 8);
        const double fadeIn = std::clamp(t / 0.12, 0.0, 1.0);
        const double fadeOut = std::clamp((1.0 - t) / 0.12, 0.0, 1.0);
        const double bob = std::sin(t * 2 * kPi) * 1.5; // a gentle arc over the track
        PaintDocument(p, QPointF(x, trackY - bob), std::min(fadeIn, fadeOut));
    }
    p.end();
    return image;
}

bool WriteFrames(const QDir& frames) {
    auto put = [&frames](const QString& anim, int index, const QImage& image) {
        frames.mkpath(anim);
        return Save(image,
                    frames.filePath(QString("%1/%2.png").arg(anim).arg(index, 3, 10, QChar('0'))));
    };
    const QColor pageCard(Qt::white);
    for (int i = 0; i < kSpinnerFrames; ++i) {
        if (!put("aniProgress", i, MatteForGif(SpinnerFrame(i), pageCard, 12))) {
            return false;
        }
    }
    if (!put("aniProgressStop", 0, MatteForGif(StoppedSign(), pageCard, 12))) {
        return false;
    }
    for (int i = 0; i < kTransferFrames; ++i) {
        if (!put("101", i, MatteForGif(TransferFrame(i), kDialogFace, 24))) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: asset_painter <resource dir> <frame dir>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QDir frames(QString::fromLocal8Bit(argv[2]));
    if (!out.exists() || !QDir().mkpath(frames.path())) {
        std::fprintf(stderr, "missing output folder\n");
        return 2;
    }
    return WriteIcons(out) && WriteFrames(frames) ? 0 : 1;
}
