#include "pages/round_button.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::array<int, 4> kRingInsets = {0, 1, 2, 4};
// Captions may hold several lines and an '&' marking the access key.
constexpr int kCaptionFlags = Qt::AlignCenter | Qt::TextShowMnemonic;

int Round(double value) { return static_cast<int>(value + 0.5); }

void Close(CRoundButton::Ring& ring) {
    if (!ring.empty() && ring.back() != ring.front()) ring.push_back(ring.front());
}

bool WithinBuffer(const CRoundButton::Outline& rings) {
    return std::all_of(rings.begin(), rings.end(), [](const CRoundButton::Ring& ring) {
        return ring.size() <= static_cast<std::size_t>(CRoundButton::kMaxRingPoints);
    });
}

QPolygon ToPolygon(const CRoundButton::Ring& ring) { return QPolygon(ring.begin(), ring.end()); }

// The system colours the faces are drawn with. Qt's palette roles stand in:
// Midlight lies between the face and the highlight as 3-D light does, and
// Dark is the edge colour Qt's own styles give the lower right of a raised
// button, as button shadow is.
struct FaceColours {
    QColor face, highlight, light3d, shadow, darkShadow;

    explicit FaceColours(const QPalette& palette)
        // Always the active group: the faces do not change with window activation.
        : face(palette.color(QPalette::Active, QPalette::Button)),
          highlight(palette.color(QPalette::Active, QPalette::Light)),
          light3d(palette.color(QPalette::Active, QPalette::Midlight)),
          shadow(palette.color(QPalette::Active, QPalette::Dark)),
          darkShadow(palette.color(QPalette::Active, QPalette::Shadow)) {}
};

// Each segment takes its own colour by the way it faces; the joint pixel is
// set too, so the ring has no gaps where segments meet.
void DrawShadedRing(QPainter& painter, const CRoundButton::Ring& ring, const QColor& lowerRight,
                    const QColor& upperLeft) {
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        const QPoint p = ring[i];
        const QPoint q = ring[i + 1];
        painter.setPen(
            CRoundButton::MixColor(lowerRight, upperLeft, CRoundButton::LightFactor(p, q)));
        painter.drawLine(p, q);
        painter.drawPoint(p);
    }
}

void DrawPlainRing(QPainter& painter, const CRoundButton::Ring& ring, const QColor& colour) {
    painter.setPen(colour);
    painter.drawPolyline(ToPolygon(ring));
}

// Fills the band between two rings with one quadrilateral a segment, each in
// colourOf(p, q) for its segment p-q of the outer ring.
template <class ColourOf>
void FillBand(QPainter& painter, const CRoundButton::Ring& outer, const CRoundButton::Ring& inner,
              ColourOf colourOf) {
    const std::size_t segments = std::min(outer.size(), inner.size());
    for (std::size_t i = 0; i + 1 < segments; ++i) {
        const QColor colour = colourOf(outer[i], outer[i + 1]);
        painter.setPen(colour);
        painter.setBrush(colour);
        const QPoint quad[] = {outer[i], outer[i + 1], inner[i + 1], inner[i]};
        painter.drawPolygon(quad, 4);
    }
    painter.setBrush(Qt::NoBrush);
}

void FillRing(QPainter& painter, const CRoundButton::Ring& ring, const QColor& colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(ToPolygon(ring), Qt::OddEvenFill);
    painter.setBrush(Qt::NoBrush);
}

}  // namespace

CRoundButton::CRoundButton(QWidget* parent) : QPushButton(parent) {}

double CRoundButton::LightFactor(QPoint p, QPoint q) {
    double alpha = std::atan2(double(p.x() - q.x()), double(q.y() - p.y()));
    if (alpha < 0) alpha += 2 * kPi;
    return (std::cos(std::abs(3 * kPi / 4 - (2 * kPi - alpha))) + 1) / 2;
}

QColor CRoundButton::MixColor(const QColor& first, const QColor& second, double x) {
    const auto mix = [x](int a, int b) {
        return std::clamp(static_cast<int>((1 - x) * a + x * b), 0, 255);
    };
    return QColor(mix(first.red(), second.red()), mix(first.green(), second.green()),
                  mix(first.blue(), second.blue()));
}

bool CRoundButton::IsValid(const Outline& rings) {
    const std::size_t count = rings[0].size();
    return count > 0 && std::all_of(rings.begin(), rings.end(),
                                    [count](const Ring& ring) { return ring.size() == count; });
}

CRoundButton::Outline CRoundButton::BuildOutline(int shapeType, int pointCount, const QRect& area) {
    int left = area.left(), top = area.top(), right = area.right(), bottom = area.bottom();
    const int wide = right - left;
    const int tall = bottom - top;
    const int shortSide = std::min(wide, tall);
    // The capsule keeps the whole rectangle: cut to a square it would be a circle.
    if (shapeType == kDiamond || shapeType == kCircle) {
        const int offset = (std::max(wide, tall) - shortSide) / 2;
        if (wide > tall) {
            left += offset;
            right = left + shortSide;
        } else {
            top += offset;
            bottom = top + shortSide;
        }
    }
    const int radius = shortSide / 2;  // whole pixels: 14 for a side of 29
    const double cx = (left + right) / 2.0;
    const double cy = (top + bottom) / 2.0;

    // Without a usable point count, one point a pixel of radius.
    int n = 0;
    if (shapeType == kCircle) n = pointCount > 1 ? pointCount : radius;
    if (shapeType == kCapsule) n = pointCount > 0 ? pointCount : radius;
    // Even unclosed such a ring would not fit the region buffer.
    if (n > kMaxRingPoints) return {};
    if ((shapeType == kCircle || shapeType == kCapsule) && n <= 0) return {};

    Outline rings;
    for (std::size_t k = 0; k < rings.size(); ++k) {
        const int d = kRingInsets[k];
        Ring& ring = rings[k];
        const auto arc = [&ring, d, radius, n](double centreX, double centreY, double start,
                                               int from, int to) {
            for (int i = from; i <= to; ++i) {
                const double theta = start + 2 * kPi * i / n;
                ring.emplace_back(Round(centreX + (radius - d) * std::cos(theta)),
                                  Round(centreY + (radius - d) * std::sin(theta)));
            }
        };
        switch (shapeType) {
            case kRectangle:
                ring = {{left + d, top + d},
                        {right - d, top + d},
                        {right - d, bottom - d},
                        {left + d, bottom - d}};
                break;
            case kDiamond: {
                const int middleX = (left + right) / 2;
                const int middleY = (top + bottom) / 2;
                ring = {{left + d, middleY},
                        {middleX, top + d},
                        {right - d, middleY},
                        {middleX, bottom - d}};
                break;
            }
            case kCircle:
                arc(cx, cy, 0, 0, n - 1);
                break;
            case kCapsule: {
                // Clockwise on screen: for a wide button the right end from
                // its top down to its bottom, then the left end back up; for a
                // tall one the lower end from its right to its left, then the
                // upper end back. The straight sides join the half circles.
                const double end = shortSide / 2.0;
                const int half = n / 2;
                const int secondFrom = Round(n / 2.0);
                if (wide >= tall) {
                    arc(right - end, cy, 3 * kPi / 2, 0, half);
                    arc(left + end, cy, 3 * kPi / 2, secondFrom, n);
                } else {
                    arc(cx, bottom - end, 0, 0, half);
                    arc(cx, top + end, 0, secondFrom, n);
                }
                break;
            }
            default:
                break;
        }
        Close(ring);
    }
    return rings;
}

bool CRoundButton::SetShape(int shapeType, int pointCount) {
    Outline rings = BuildOutline(shapeType, pointCount, rect());
    if (!IsValid(rings) || !WithinBuffer(rings)) return false;
    m_outline = std::move(rings);
    m_shape = ShapeRequest{shapeType, pointCount, size()};
    MakeRegion();
    m_rebuild = true;
    return true;
}

bool CRoundButton::SetOutline(const Outline& rings) {
    // Checked before copying, so an oversized ring is never copied whole.
    if (!WithinBuffer(rings)) return false;
    Outline copy = rings;
    for (Ring& ring : copy) Close(ring);
    if (!IsValid(copy) || !WithinBuffer(copy)) return false;
    m_outline = std::move(copy);
    m_shape.reset();
    MakeRegion();
    m_rebuild = true;
    return true;
}

void CRoundButton::MakeRegion() {
    setMask(QRegion(ToPolygon(m_outline[0]), Qt::OddEvenFill));
    update();
}

void CRoundButton::SetRebuild() {
    m_rebuild = true;
    update();
}

void CRoundButton::SetCaptionColor(const QColor& colour) {
    m_captionColor = colour;
    SetRebuild();
}

std::int32_t CRoundButton::CurrentStyle() const {
    return (isDefault() ? kStyleDefault : 0) | (isFlat() ? kStyleFlat : 0) |
           (isEnabled() ? 0 : kStyleDisabled);
}

QSize CRoundButton::FacePixelSize() const { return size() * devicePixelRatio(); }

bool CRoundButton::NeedsRender() const {
    // Besides the style, a changed size or text would leave the faces showing
    // the old ones: the caption is a copy taken at rendering.
    return m_rebuild || CurrentStyle() != m_builtStyle || text() != m_caption ||
           m_faces[kNormalFace].size() != FacePixelSize() ||
           m_faces[kNormalFace].devicePixelRatio() != devicePixelRatio();
}

void CRoundButton::DrawItem(QPainter& painter) {
    if (!IsValid()) SetShape(kRectangle, 0);
    if (NeedsRender()) RenderFaces();
    const Face face = isDown() ? kPressedFace : hasFocus() ? kFocusedFace : kNormalFace;
    painter.drawPixmap(0, 0, m_faces[face]);
}

void CRoundButton::RenderFaces() {
    m_builtStyle = CurrentStyle();
    m_caption = text();
    const QRect bounds = QFontMetrics(font()).boundingRect(QRect(), kCaptionFlags, m_caption);
    const int centreX = width() / 2;
    const int centreY = height() / 2;
    const QRect captionRect(centreX - (bounds.width() / 2 + 1), centreY - bounds.height() / 2 - 1,
                            bounds.width() + 2, bounds.height() + 2);
    for (Face face : {kNormalFace, kFocusedFace, kPressedFace}) {
        QPixmap pixmap(FacePixelSize());
        pixmap.setDevicePixelRatio(devicePixelRatio());
        // Outside ring 0 nothing is drawn: the mask hides it on screen, and a
        // grab of the button shows what lies behind it there.
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setFont(font());
        painter.setBackgroundMode(Qt::TransparentMode);
        RenderFace(face, painter, captionRect);
        painter.end();
        m_faces[face] = std::move(pixmap);
    }
    m_rebuild = false;
    ++m_renderCount;
}

void CRoundButton::RenderFace(Face face, QPainter& painter, const QRect& captionRect) const {
    const FaceColours c(palette());
    const auto& [outer, ring1, ring2, inner] = m_outline;
    if (isFlat()) {
        FillRing(painter, outer, MixColor(c.darkShadow, c.highlight, 0.5));
        switch (face) {
            case kNormalFace:
                DrawPlainRing(painter, outer, c.darkShadow);
                DrawPlainRing(painter, ring1, c.highlight);
                break;
            case kFocusedFace:
                DrawPlainRing(painter, outer, c.darkShadow);
                DrawPlainRing(painter, ring1, c.darkShadow);
                DrawPlainRing(painter, ring2, c.highlight);
                break;
            case kPressedFace:
                // Lit from inside out: the edge reads as pushed in.
                DrawPlainRing(painter, outer, c.highlight);
                DrawPlainRing(painter, ring1, c.darkShadow);
                break;
        }
    } else {
        FillRing(painter, outer, c.face);
        switch (face) {
            case kNormalFace:
            case kFocusedFace:
                // A soft outer edge, then a bevel down to ring 3 whose
                // inner part fades into the face.
                FillBand(painter, ring2, inner, [&c](QPoint p, QPoint q) {
                    return MixColor(MixColor(c.darkShadow, c.face, 0.5),
                                    MixColor(c.highlight, c.face, 0.5), LightFactor(p, q));
                });
                DrawShadedRing(painter, ring2, c.darkShadow, c.highlight);
                DrawShadedRing(painter, ring1, c.darkShadow, c.highlight);
                // Focus: a dark frame all round.
                if (face == kFocusedFace)
                    DrawPlainRing(painter, outer, c.darkShadow);
                else
                    DrawShadedRing(painter, outer, c.shadow, c.light3d);
                break;
            case kPressedFace:
                // No light from any side: a dark frame shading off inward.
                FillBand(
                    painter, ring2, inner,
                    [inside = MixColor(c.shadow, c.face, 0.5)](QPoint, QPoint) { return inside; });
                DrawPlainRing(painter, ring2, c.shadow);
                DrawPlainRing(painter, ring1, c.shadow);
                DrawPlainRing(painter, outer, c.darkShadow);
                break;
        }
    }
    DrawCaption(painter, face == kPressedFace ? captionRect.translated(1, 1) : captionRect);
}

void CRoundButton::DrawCaption(QPainter& painter, QRect rect) const {
    if (m_caption.isEmpty()) return;
    if (isEnabled()) {
        painter.setPen(m_captionColor);
        painter.drawText(rect, kCaptionFlags, m_caption);
        return;
    }
    // The system's disabled look: a highlight copy one pixel down and right
    // under the text in the shadow colour.
    const FaceColours c(palette());
    painter.setPen(c.highlight);
    painter.drawText(rect.translated(1, 1), kCaptionFlags, m_caption);
    painter.setPen(c.shadow);
    painter.drawText(rect, kCaptionFlags, m_caption);
}

void CRoundButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawItem(painter);
}

void CRoundButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    // A built shape is made again for the new size; a caller's outline stays
    // as given. The faces follow the size at the next paint either way.
    if (m_shape && m_shape->size != size()) SetShape(m_shape->type, m_shape->pointCount);
}

void CRoundButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        m_rebuild = true;
    QPushButton::changeEvent(event);
}

bool CRoundButton::hitButton(const QPoint& pos) const {
    // Only the outline takes the press, and leaving it while held lets the
    // button up, as for any button.
    const QRegion region = mask();
    return region.isEmpty() ? QPushButton::hitButton(pos) : region.contains(pos);
}
