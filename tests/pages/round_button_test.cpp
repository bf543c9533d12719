#include "pages/round_button.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <cmath>
#include <functional>
#include <iostream>
#include <vector>

namespace {

using Ring = CRoundButton::Ring;
using Outline = CRoundButton::Outline;

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// The button alone, drawn onto a clear image: what it leaves transparent shows.
QImage RenderAlone(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QRect Box(const Ring& ring) {
    QRect box;
    for (const QPoint& p : ring) box |= QRect(p, QSize(1, 1));
    return box;
}

QRect InkBox(const QImage& image, const std::function<bool(const QColor&)>& ink) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (ink(image.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

int InkedRowRuns(const QImage& image, const std::function<bool(const QColor&)>& ink) {
    int runs = 0;
    bool previous = false;
    for (int y = 0; y < image.height(); ++y) {
        bool inked = false;
        for (int x = 0; x < image.width() && !inked; ++x) inked = ink(image.pixelColor(x, y));
        if (inked && !previous) ++runs;
        previous = inked;
    }
    return runs;
}

// Focus needs an active window.
bool ActivateWindow(QWidget& window) {
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

bool Bluish(const QColor& c) { return c.blue() > c.red() + 80 && c.blue() > c.green() + 80; }

Ring OpenPolygon(int points, QPoint centre, int radius) {
    Ring ring;
    for (int i = 0; i < points; ++i) {
        const double t = 2 * M_PI * i / points;
        ring.emplace_back(centre.x() + int(radius * std::cos(t)),
                          centre.y() + int(radius * std::sin(t)));
    }
    return ring;
}

}  // namespace

// --- Outline ----------------------------------------------------------------

TEST(RoundButtonOutline, CircleOfFortyByThirtyHasRadiusFourteen) {
    CRoundButton button;
    button.resize(40, 30);
    ASSERT_TRUE(button.SetShape(CRoundButton::kCircle, 0));
    ASSERT_TRUE(button.IsValid());
    const int insets[] = {0, 1, 2, 4};
    for (int k = 0; k < 4; ++k) {
        const Ring& ring = button.Rings()[k];
        ASSERT_EQ(ring.size(), 15u) << "ring " << k;
        EXPECT_EQ(ring.front(), ring.back()) << "ring " << k;
        // The square 5..34 x 0..29 centred at (19.5, 14.5); rounding moves a
        // point by at most half a pixel along each axis.
        for (const QPoint& p : ring)
            EXPECT_NEAR(std::hypot(p.x() - 19.5, p.y() - 14.5), 14 - insets[k], 0.75)
                << "ring " << k << " point " << p.x() << "," << p.y();
    }
    EXPECT_EQ(button.Rings()[0].front(), QPoint(34, 15));

    // A point count over 1 is taken as it is.
    ASSERT_TRUE(button.SetShape(CRoundButton::kCircle, 40));
    EXPECT_EQ(button.Rings()[2].size(), 41u);
}

TEST(RoundButtonOutline, ShapesTable) {
    struct Case {
        const char* name;
        int type, pointCount;
        QSize size;
        std::size_t closedPoints;
        QRect outer;  // the box of ring 0; ring k lies inside it by its inset
        int slack;    // pixels a rounded curve may fall short of the box
    };
    const Case cases[] = {
        {"rectangle", CRoundButton::kRectangle, 0, {60, 40}, 5, {QPoint(0, 0), QPoint(59, 39)}, 0},
        // Cut to the square of the shorter side, centred along the longer.
        {"diamond", CRoundButton::kDiamond, 0, {60, 40}, 5, {QPoint(10, 0), QPoint(49, 39)}, 0},
        {"tall diamond",
         CRoundButton::kDiamond,
         7,
         {30, 50},
         5,
         {QPoint(0, 10), QPoint(29, 39)},
         0},
        // Two half circles of 19 + 1 points each (R = 19), the whole width.
        {"wide capsule",
         CRoundButton::kCapsule,
         0,
         {60, 40},
         21,
         {QPoint(0, 0), QPoint(59, 39)},
         1},
        // 8 points: i = 0..4 on the lower end, 4..8 on the upper.
        {"tall capsule",
         CRoundButton::kCapsule,
         8,
         {40, 60},
         11,
         {QPoint(0, 0), QPoint(39, 59)},
         1},
    };
    const int insets[] = {0, 1, 2, 4};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRoundButton button;
        button.resize(c.size);
        ASSERT_TRUE(button.SetShape(c.type, c.pointCount));
        for (int k = 0; k < 4; ++k) {
            const Ring& ring = button.Rings()[k];
            ASSERT_EQ(ring.size(), c.closedPoints) << "ring " << k;
            EXPECT_EQ(ring.front(), ring.back()) << "ring " << k;
            const QRect expected = c.outer.adjusted(insets[k], insets[k], -insets[k], -insets[k]);
            const QRect box = Box(ring);
            EXPECT_LE(std::abs(box.left() - expected.left()), c.slack) << "ring " << k;
            EXPECT_LE(std::abs(box.top() - expected.top()), c.slack) << "ring " << k;
            EXPECT_LE(std::abs(box.right() - expected.right()), c.slack) << "ring " << k;
            EXPECT_LE(std::abs(box.bottom() - expected.bottom()), c.slack) << "ring " << k;
        }
    }
}

TEST(RoundButtonOutline, SetOutlineClosesRingsAndRefusesBadOnesKeepingTheOldOutline) {
    CRoundButton button;
    button.resize(80, 80);
    // Ring 0 comes closed already, the others open: closed, all hold 7.
    Outline hexagon = {OpenPolygon(6, {40, 40}, 38), OpenPolygon(6, {40, 40}, 37),
                       OpenPolygon(6, {40, 40}, 36), OpenPolygon(6, {40, 40}, 34)};
    hexagon[0].push_back(hexagon[0].front());
    ASSERT_TRUE(button.SetOutline(hexagon));
    for (const Ring& ring : button.Rings()) {
        ASSERT_EQ(ring.size(), 7u);
        EXPECT_EQ(ring.front(), ring.back());
    }
    const Outline kept = button.Rings();
    const QRegion keptMask = button.mask();
    EXPECT_FALSE(keptMask.isEmpty());

    // A caller's outline does not follow a resize.
    button.resize(100, 60);
    EXPECT_EQ(button.Rings(), kept);

    Outline unequal = hexagon;
    unequal[3] = OpenPolygon(5, {40, 40}, 34);
    Outline oversized = {OpenPolygon(1025, {40, 40}, 38), OpenPolygon(1025, {40, 40}, 37),
                         OpenPolygon(1025, {40, 40}, 36), OpenPolygon(1025, {40, 40}, 34)};
    // 1024 open points need a 1025th to close.
    Outline fullOnceClosed = oversized;
    for (Ring& ring : fullOnceClosed) ring.resize(1024);
    const Outline refused[] = {unequal, Outline{}, oversized, fullOnceClosed};
    for (const Outline& rings : refused) {
        EXPECT_FALSE(button.SetOutline(rings));
        EXPECT_EQ(button.Rings(), kept);
        EXPECT_EQ(button.mask(), keptMask);
    }
    EXPECT_FALSE(button.SetShape(CRoundButton::kCircle, 5000));
    EXPECT_FALSE(button.SetShape(7, 0));
    EXPECT_EQ(button.Rings(), kept);

    Outline largest = oversized;
    for (Ring& ring : largest) ring.resize(1023);
    EXPECT_TRUE(button.SetOutline(largest));
    EXPECT_EQ(button.Rings()[0].size(), 1024u);
}

TEST(RoundButtonOutline, ABuiltShapeFollowsTheSize) {
    CRoundButton button;
    button.resize(40, 40);
    ASSERT_TRUE(button.SetShape(CRoundButton::kCircle, 0));
    button.resize(80, 80);
    Grab(button);  // a hidden button takes its new size when it is drawn
    EXPECT_EQ(button.Rings()[0].size(), 40u);  // 39 points for R = 39, closed
    const QRect box = Box(button.Rings()[0]);
    EXPECT_LE(box.left(), 1);
    EXPECT_LE(box.top(), 1);
    EXPECT_GE(box.right(), 78);
    EXPECT_GE(box.bottom(), 78);
    EXPECT_TRUE(button.mask().contains(QPoint(70, 40)));
}

// --- Faces ------------------------------------------------------------------

TEST(RoundButtonFaces, NeverShapedDrawsAsARectangle) {
    CRoundButton button;
    button.resize(50, 20);
    EXPECT_FALSE(button.IsValid());
    EXPECT_EQ(button.RenderCount(), 0);
    Grab(button);
    ASSERT_TRUE(button.IsValid());
    EXPECT_EQ(button.Rings()[0], Ring({{0, 0}, {49, 0}, {49, 19}, {0, 19}, {0, 0}}));
    EXPECT_EQ(button.Rings()[3], Ring({{4, 4}, {45, 4}, {45, 15}, {4, 15}, {4, 4}}));
    EXPECT_EQ(button.RenderCount(), 1);
}

TEST(RoundButtonFaces, RenderedAgainOnlyWhenSomethingTheyShowChanged) {
    CRoundButton button;
    button.resize(60, 60);
    button.setText("Right +");
    button.SetShape(CRoundButton::kCircle, 0);
    Grab(button);
    ASSERT_EQ(button.RenderCount(), 1);
    Grab(button);
    button.update();
    Grab(button);
    EXPECT_EQ(button.RenderCount(), 1) << "a plain repaint only copies";

    int expected = 1;
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"default", [&] { button.setDefault(true); }},
        {"not default", [&] { button.setDefault(false); }},
        {"flat", [&] { button.setFlat(true); }},
        {"disabled", [&] { button.setEnabled(false); }},
        {"rebuild", [&] { button.SetRebuild(); }},
        {"caption colour", [&] { button.SetCaptionColor(QColor(100, 175, 100)); }},
        {"renamed", [&] { button.setText("Left -"); }},
        {"new shape", [&] { button.SetShape(CRoundButton::kDiamond, 0); }},
        {"resized", [&] { button.resize(70, 60); }},
    };
    for (const auto& [name, change] : changes) {
        change();
        Grab(button);
        Grab(button);
        EXPECT_EQ(button.RenderCount(), ++expected) << name;
    }
}

TEST(RoundButtonFaces, RaisedEdgesLitFromTheUpperLeftAndPressedSunken) {
    CRoundButton button;
    button.resize(40, 30);
    button.SetShape(CRoundButton::kRectangle, 0);
    const auto lightness = [](const QImage& image, int x, int y) {
        return image.pixelColor(x, y).lightness();
    };
    const QImage normal = Grab(button);
    // Ring 1: the top and left edges light, the bottom and right dark.
    EXPECT_GT(lightness(normal, 20, 1), lightness(normal, 20, 28));
    EXPECT_GT(lightness(normal, 1, 15), lightness(normal, 38, 15));

    button.setDown(true);
    const QImage pressed = Grab(button);
    EXPECT_NE(pressed, normal);
    // No light from any side: the frame is dark all round.
    EXPECT_EQ(pressed.pixelColor(20, 1), pressed.pixelColor(20, 28));
    EXPECT_EQ(pressed.pixelColor(1, 15), pressed.pixelColor(38, 15));
    EXPECT_LT(lightness(pressed, 20, 1), lightness(normal, 20, 1));
    button.setDown(false);
    EXPECT_EQ(Grab(button), normal);
}

TEST(RoundButtonFaces, PressedBeforeFocusedBeforeNormal) {
    CRoundButton button;
    button.resize(60, 60);
    button.setText("Up +");
    button.SetShape(CRoundButton::kCircle, 0);
    button.setDown(true);
    const QImage pressed = Grab(button);
    button.setDown(false);
    const QImage normal = Grab(button);

    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    ASSERT_TRUE(ActivateWindow(button));
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());
    const QImage focused = Grab(button);
    EXPECT_NE(focused, normal);
    EXPECT_NE(focused, pressed);
    button.setDown(true);
    EXPECT_EQ(Grab(button), pressed);
    EXPECT_EQ(button.RenderCount(), 1);
}

TEST(RoundButtonFaces, CaptionCentredOnTwoLinesShiftedWhenPressedEmbossedWhenDisabled) {
    CRoundButton button;
    button.resize(120, 80);
    QFont font("DejaVu Sans");
    font.setPixelSize(14);
    button.setFont(font);
    button.setText("Positive\n+");
    button.SetCaptionColor(QColor(0, 0, 255));
    button.SetShape(CRoundButton::kCapsule, 0);

    const QRect normal = InkBox(Grab(button), Bluish);
    ASSERT_FALSE(normal.isEmpty());
    EXPECT_EQ(InkedRowRuns(Grab(button), Bluish), 2);
    EXPECT_NEAR(normal.center().x(), 60, 2);
    EXPECT_NEAR(normal.center().y(), 40, 2);

    button.setDown(true);
    EXPECT_EQ(InkBox(Grab(button), Bluish), normal.translated(1, 1));
    button.setDown(false);

    button.setEnabled(false);
    const QImage disabled = Grab(button);
    EXPECT_TRUE(InkBox(disabled, Bluish).isEmpty());
    const QColor face = disabled.pixelColor(20, 40);
    const QRect embossed = InkBox(disabled,
                                  [&face](const QColor& c) {
                                      return std::abs(c.lightness() - face.lightness()) > 40;
                                  }) &
                           QRect(10, 10, 100, 60);
    EXPECT_NEAR(embossed.center().x(), 60, 2);
}

TEST(RoundButtonFaces, CircleMaskLeavesTheCornersOut) {
    CRoundButton button;
    button.resize(40, 40);
    button.setText("Up +");
    ASSERT_TRUE(button.SetShape(CRoundButton::kCircle, 0));
    const QImage image = RenderAlone(button);
    for (const QPoint corner : {QPoint(0, 0), QPoint(39, 0), QPoint(0, 39), QPoint(39, 39),
                                QPoint(4, 4), QPoint(35, 35)}) {
        EXPECT_FALSE(button.mask().contains(corner)) << corner.x() << "," << corner.y();
        EXPECT_EQ(image.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
    }
    EXPECT_TRUE(button.mask().contains(QPoint(20, 20)));
    EXPECT_EQ(image.pixelColor(20, 20).alpha(), 255);

    // Only the round part takes a press.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(button.isDown());
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(button.isDown());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(20, 20));
}

// --- Shading rule -----------------------------------------------------------

TEST(RoundButtonShading, LightFactorByTheWayAnEdgeFacesAndColoursMixTruncated) {
    // Rings run clockwise on screen, so an edge faces to the left of its way.
    struct Case {
        const char* name;
        QPoint p, q;
        double factor;
    };
    const double slanted = (std::cos(M_PI / 4) + 1) / 2;
    const Case cases[] = {
        {"upper left", {0, 5}, {5, 0}, 1.0},        {"lower right", {10, 5}, {5, 10}, 0.0},
        {"top", {0, 0}, {10, 0}, slanted},          {"left", {0, 10}, {0, 0}, slanted},
        {"bottom", {10, 10}, {0, 10}, 1 - slanted}, {"right", {10, 0}, {10, 10}, 1 - slanted},
        {"upper right", {5, 0}, {10, 5}, 0.5},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(CRoundButton::LightFactor(c.p, c.q), c.factor, 1e-9) << c.name;

    EXPECT_EQ(CRoundButton::MixColor(Qt::black, Qt::white, 0.5), QColor(127, 127, 127));
    EXPECT_EQ(CRoundButton::MixColor(QColor(10, 200, 100), QColor(20, 0, 255), 0.25),
              QColor(12, 150, 138));
    EXPECT_EQ(CRoundButton::MixColor(QColor(1, 2, 3), QColor(4, 5, 6), 1.0), QColor(4, 5, 6));
}

// --- Screenshot -------------------------------------------------------------

TEST(RoundButtonScreenshot, ShapesAndJogCaptionsForAPersonToLookAt) {
    QWidget panel;
    panel.resize(680, 320);
    QFont font("DejaVu Sans");
    font.setPointSize(8);
    panel.setFont(font);
    const auto add = [&panel](QRect geometry, int shape, const QString& text) {
        auto* button = new CRoundButton(&panel);
        button->setGeometry(geometry);
        button->setText(text);
        button->SetShape(shape, 0);
        return button;
    };
    // One row per shape: normal, pressed, disabled, flat, focused.
    const struct {
        int shape;
        QSize size;
    } rows[] = {{CRoundButton::kCircle, {64, 64}},
                {CRoundButton::kDiamond, {70, 64}},
                {CRoundButton::kCapsule, {100, 44}},
                {CRoundButton::kRectangle, {90, 40}}};
    std::vector<CRoundButton*> focused;
    int y = 8;
    for (const auto& row : rows) {
        int x = 8;
        for (int variant = 0; variant < 5; ++variant) {
            auto* button =
                add({QPoint(x, y), row.size}, row.shape,
                    QStringList{"Normal", "Pressed", "Disabled", "Flat", "Focused"}[variant]);
            if (variant == 1) button->setDown(true);
            if (variant == 2) button->setEnabled(false);
            if (variant == 3) button->setFlat(true);
            if (variant == 4) focused.push_back(button);
            x += row.size.width() + 10;
        }
        y += row.size.height() + 10;
    }
    // The jog buttons: two-line captions until relabelled, positive in green.
    auto* positive = add({600, 8, 64, 64}, CRoundButton::kCircle, "Positive\n+");
    positive->SetCaptionColor(QColor(100, 175, 100));
    add({600, 82, 64, 64}, CRoundButton::kCircle, "Negative\n-");
    add({600, 156, 64, 64}, CRoundButton::kCircle, "Right +")
        ->SetCaptionColor(QColor(100, 175, 100));
    add({600, 230, 64, 64}, CRoundButton::kCircle, "Left -")->setDown(true);

    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    ASSERT_TRUE(ActivateWindow(panel));
    // One focus at a time: each focused button is drawn while it has it.
    QImage shot = Grab(panel);
    QPainter painter(&shot);
    for (CRoundButton* button : focused) {
        button->setFocus();
        ASSERT_TRUE(button->hasFocus());
        painter.drawImage(button->pos(), Grab(*button));
    }
    painter.end();

    const QString folder = QStringLiteral(TARNWICK_TEST_BIN "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/round_buttons.png";
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    std::cout << "screenshot: " << path.toStdString() << std::endl;
}
