#pragma once
// CRoundButton: a push button drawn by the program, with a shaped outline
// (rectangle, diamond, circle, capsule or rings given by the caller) and edges
// shaded as if lit from the upper left. The widget is clipped to the outer
// ring. The normal, focused and pressed faces are rendered once into pixmaps
// and painting only copies one of them; they are rendered again when the
// outline changes, when the owner asks for it (SetRebuild, after renaming the
// button), or when the button's style, size, palette, font or text changed
// since the last rendering.
//
// The jog buttons derive from it. Only the UI thread calls it.
#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class QPainter;

class CRoundButton : public QPushButton {
    Q_OBJECT

public:
    // One ring of the outline in client pixels; a stored ring is closed (its
    // last point repeats the first).
    using Ring = std::vector<QPoint>;
    // Ring 0 is the outer edge; rings 1, 2 and 3 lie 1, 2 and 4 pixels inside it.
    using Outline = std::array<Ring, 4>;

    enum ShapeType { kRectangle = 0, kDiamond = 1, kCircle = 2, kCapsule = 3 };

    // The window region is made through a buffer of this many points, so no
    // ring, closing point included, may hold more.
    static constexpr int kMaxRingPoints = 1024;

    // Bits of the built style: what the faces depend on besides outline, size
    // and caption.
    static constexpr std::int32_t kStyleDefault = 0x0001;
    static constexpr std::int32_t kStyleFlat = 0x8000;
    static constexpr std::int32_t kStyleDisabled = 0x08000000;

    explicit CRoundButton(QWidget* parent = nullptr);

    // Builds the outline for the current size and clips the button to ring 0.
    // The shape follows later resizes. Refused (false, the previous outline
    // kept) for an unknown type, for a shape with no points and for rings over
    // kMaxRingPoints.
    bool SetShape(int shapeType, int pointCount);
    // Copies the caller's rings, closing each, and clips the button to ring 0.
    // The outline stays as given when the button is resized. Refused (false,
    // the previous outline kept) unless the closed rings hold the same
    // non-zero number of points, at most kMaxRingPoints each.
    bool SetOutline(const Outline& rings);
    // The faces are rendered again before the next paint.
    void SetRebuild();
    void SetCaptionColor(const QColor& colour);

    QColor CaptionColor() const { return m_captionColor; }
    const Outline& Rings() const { return m_outline; }
    // All four rings hold the same, non-zero number of points.
    bool IsValid() const { return IsValid(m_outline); }
    // How many times the faces have been rendered.
    int RenderCount() const { return m_renderCount; }
    // The faces would be rendered again at the next paint.
    bool NeedsRender() const;

    // Light factor of the ring segment from p to q: 1 for an edge facing the
    // upper left, 0 for one facing the lower right (rings run clockwise on
    // screen).
    static double LightFactor(QPoint p, QPoint q);
    // (1 - x) * first + x * second per channel, truncated.
    static QColor MixColor(const QColor& first, const QColor& second, double x);
    // The outline of a shape in the rectangle from `left, top` to `right,
    // bottom` inclusive; rings are closed. Unknown types give empty rings.
    static Outline BuildOutline(int shapeType, int pointCount, const QRect& area);
    static bool IsValid(const Outline& rings);

protected:
    enum Face { kNormalFace = 0, kFocusedFace = 1, kPressedFace = 2 };

    // Renders the faces when they are out of date, then copies the one for the
    // button's state.
    virtual void DrawItem(QPainter& painter);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    struct ShapeRequest {
        int type = kRectangle;
        int pointCount = 0;
        QSize size;  // the client size the outline was built for
    };

    void MakeRegion();
    std::int32_t CurrentStyle() const;
    QSize FacePixelSize() const;
    void RenderFaces();
    void RenderFace(Face face, QPainter& painter, const QRect& captionRect) const;
    void DrawCaption(QPainter& painter, QRect rect) const;

    Outline m_outline;
    std::array<QPixmap, 3> m_faces;
    std::int32_t m_builtStyle = 0;
    QColor m_captionColor{255, 0, 0};
    QString m_caption;
    bool m_rebuild = true;
    // Set while the outline is one of the built shapes, so it follows resizes.
    std::optional<ShapeRequest> m_shape;
    int m_renderCount = 0;
};
