#include "pages/round_button.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTest>
#include <cmath>
#include <functional>

namespace {

using Ring = CRoundButton::Ring;
using Outline = CRoundButton::Outline;

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QRect Box(const Ring& ring) {
    QRect box;
    for (const QPoint& p : ring) box |= QRect(p, QSize(1, 1));
    return box;
}

QRect BlueBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > c.red() + 80 && c.blue() > c.green() + 80) box |= QRect(x, y, 1, 1);
        }
    return box;
}

Ring Polygon(int points, int radius) {
    Ring ring;
    for (int i = 0; i < points; ++i)
        ring.emplace_back(40 + int(radius * std::cos(2 * M_PI * i / points)),
                          40 + int(radius * std::sin(2 * M_PI * i / points)));
    return ring;
}

}  // namespace

TEST(RoundButtonOutline, CircleOfFortyByThirtyHasRadiusFourteen) {
    CRoundButton button;
    button.resize(40, 30);
    ASSERT_TRUE(button.SetShape(CRoundButton::kCircle, 0));
    const int insets[] = {0, 1, 2, 4};
    for (int k = 0; k < 4; ++k) {
        const Ring& ring = button.Rings()[k];
        ASSERT_EQ(ring.size(), 15u) << "ring " << k;
        EXPECT_EQ(ring.front(), ring.back()) << "ring " << k;
        // Centred in the square 5..34 x 0..29; rounding moves a point by at
        // most half a pixel along each axis.
        for (const QPoint& p : ring)
            EXPECT_NEAR(std::hypot(p.x() - 19.5, p.y() - 14.5), 14 - insets[k], 0.75) << k;
    }
    EXPECT_EQ(button.Rings()[0].front(), QPoint(34, 15));
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
        {"rectangle", 0, 0, {60, 40}, 5, {QPoint(0, 0), QPoint(59, 39)}, 0},
        // Cut to the square of the shorter side, centred along the longer.
        {"diamond", 1, 0, {60, 40}, 5, {QPoint(10, 0), QPoint(49, 39)}, 0},
        {"tall diamond", 1, 7, {30, 50}, 5, {QPoint(0, 10), QPoint(29, 39)}, 0},
        // Half circles of 19 + 1 points each (R = 19) across the whole width.
        {"wide capsule", 3, 0, {60, 40}, 21, {QPoint(0, 0), QPoint(59, 39)}, 1},
        // i = 0..4 on the lower end, 4..8 on the upper.
        {"tall capsule", 3, 8, {40, 60}, 11, {QPoint(0, 0), QPoint(39, 59)}, 1},
    };
    const int insets[] = {0, 1, 2, 4};
    for (const Case& c : cases) {
        CRoundButton button;
        button.resize(c.size);
        ASSERT_TRUE(button.SetShape(c.type, c.pointCount)) << c.name;
        for (int k = 0; k < 4; ++k) {
            const Ring& ring = button.Rings()[k];
            ASSERT_EQ(ring.size(), c.closedPoints) << c.name << " ring " << k;
            EXPECT_EQ(ring.front(), ring.back()) << c.name << " ring " << k;
            const QRect want = c.outer.adjusted(insets[k], insets[k], -insets[k], -insets[k]);
            const QRect box = Box(ring);
            EXPECT_LE(std::abs(box.left() - want.left()) + std::abs(box.top() - want.top()) +
                          std::abs(box.right() - want.right()) +
                          std::abs(box.bottom() - want.bottom()),
                      4 * c.slack)
                << c.name << " ring " << k;
        }
    }
}

TEST(RoundButtonOutline, SetOutlineClosesRingsAndRefusesBadOnesKeepingTheOldOutline) {
    CRoundButton button;
    button.resize(80, 80);
    // Ring 0 comes closed already, the others open: all hold 7 once closed.
    Outline hexagon = {Polygon(6, 38), Polygon(6, 37), Polygon(6, 36), Polygon(6, 34)};
    hexagon[0].push_back(hexagon[0].front());
    ASSERT_TRUE(button.SetOutline(hexagon));
    for (const Ring& ring : button.Rings()) {
        ASSERT_EQ(ring.size(), 7u);
        EXPECT_EQ(ring.front(), ring.back());
    }
    const Outline kept = button.Rings();
    const QRegion keptMask = button.mask();
    button.resize(100, 60);  // a caller's outline stays as given
    Grab(button);
    EXPECT_EQ(button.Rings(), kept);

    Outline unequal = hexagon;
    unequal[3] = Polygon(5, 34);
    const Outline oversized = {Polygon(1025, 38), Polygon(1025, 37), Polygon(1025, 36),
                               Polygon(1025, 34)};
    Outline fullOnceClosed = oversized;  // 1024 points and the closing one
    for (Ring& ring : fullOnceClosed) ring.resize(1024);
    for (const Outline& rings : {unequal, Outline{}, oversized, fullOnceClosed}) {
        EXPECT_FALSE(button.SetOutline(rings));
        EXPECT_EQ(button.Rings(), kept);
        EXPECT_EQ(button.mask(), keptMask);
    }
    EXPECT_FALSE(button.SetShape(CRoundButton::kCircle, 5000));
    EXPECT_FALSE(button.SetShape(7, 0));
    EXPECT_EQ(button.Rings(), kept);
}

TEST(RoundButtonFaces, NeverShapedDrawsAsARectangle) {
    CRoundButton button;
    button.resize(50, 20);
    EXPECT_FALSE(button.IsValid());
    Grab(button);
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
        {"resized", [&] { button.resize(80, 80); }},
    };
    for (const auto& [name, change] : changes) {
        change();
        Grab(button);
        Grab(button);
        EXPECT_EQ(button.RenderCount(), ++expected) << name;
    }
    // The built shape followed the new size, and so did the clip.
    EXPECT_EQ(Box(button.Rings()[0]), QRect(QPoint(0, 0), QPoint(79, 79)));
    EXPECT_TRUE(button.mask().contains(QPoint(70, 40)));
}

TEST(RoundButtonFaces, RaisedLitFromTheUpperLeftPressedSunkenFocusedFramed) {
    CRoundButton button;
    button.resize(40, 30);
    button.SetShape(CRoundButton::kRectangle, 0);
    const auto light = [](const QImage& image, int x, int y) {
        return image.pixelColor(x, y).lightness();
    };
    const QImage normal = Grab(button);
    // Ring 1: top and left light, bottom and right dark.
    EXPECT_GT(light(normal, 20, 1), light(normal, 20, 28));
    EXPECT_GT(light(normal, 1, 15), light(normal, 38, 15));

    button.setDown(true);
    const QImage pressed = Grab(button);
    // No light from any side: the same dark frame all round.
    EXPECT_EQ(pressed.pixelColor(20, 1), pressed.pixelColor(20, 28));
    EXPECT_EQ(pressed.pixelColor(1, 15), pressed.pixelColor(38, 15));
    EXPECT_LT(light(pressed, 20, 1), light(normal, 20, 1));

    button.setDown(false);
    button.show();
    button.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&button));
    button.setFocus();
    const QImage focused = Grab(button);
    EXPECT_NE(focused, normal);
    EXPECT_NE(focused, pressed);
    button.setDown(true);  // pressed wins over focused
    EXPECT_EQ(Grab(button), pressed);
    EXPECT_EQ(button.RenderCount(), 1);
}

TEST(RoundButtonFaces, TwoLineCaptionCentredAndShiftedWhenPressed) {
    CRoundButton button;
    button.resize(120, 80);
    QFont font("DejaVu Sans");
    font.setPixelSize(14);
    button.setFont(font);
    button.setText("Positive\n+");
    button.SetCaptionColor(QColor(0, 0, 255));
    button.SetShape(CRoundButton::kCapsule, 0);
    const QRect normal = BlueBox(Grab(button));
    EXPECT_GT(normal.height(), 20);  // both lines: one is about 11 pixels high
    EXPECT_NEAR(normal.center().x(), 60, 2);
    EXPECT_NEAR(normal.center().y(), 40, 2);
    button.setDown(true);
    EXPECT_EQ(BlueBox(Grab(button)), normal.translated(1, 1));
    button.setDown(false);
    button.setEnabled(false);  // embossed in the palette's colours instead
    EXPECT_TRUE(BlueBox(Grab(button)).isEmpty());
}

TEST(RoundButtonFaces, CircleLeavesTheCornersOut) {
    CRoundButton button;
    button.resize(40, 40);
    ASSERT_TRUE(button.SetShape(CRoundButton::kCircle, 0));
    QImage alone(button.size(), QImage::Format_ARGB32);
    alone.fill(Qt::transparent);
    button.render(&alone, QPoint(), QRegion(), QWidget::DrawChildren);
    for (const QPoint corner : {QPoint(0, 0), QPoint(39, 0), QPoint(0, 39), QPoint(35, 35)}) {
        EXPECT_FALSE(button.mask().contains(corner)) << corner.x() << "," << corner.y();
        EXPECT_EQ(alone.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
    }
    EXPECT_TRUE(button.mask().contains(QPoint(20, 20)));
    EXPECT_EQ(alone.pixelColor(20, 20).alpha(), 255);
    // Only the round part takes a press.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(button.isDown());
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(button.isDown());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(20, 20));
}

TEST(RoundButtonShading, LightFactorByTheWayAnEdgeFacesAndColoursMixTruncated) {
    // Rings run clockwise on screen: an edge faces to the left of its way.
    const double top = (std::cos(M_PI / 4) + 1) / 2;
    EXPECT_NEAR(CRoundButton::LightFactor({0, 5}, {5, 0}), 1.0, 1e-9);    // upper left
    EXPECT_NEAR(CRoundButton::LightFactor({10, 5}, {5, 10}), 0.0, 1e-9);  // lower right
    EXPECT_NEAR(CRoundButton::LightFactor({0, 0}, {10, 0}), top, 1e-9);
    EXPECT_NEAR(CRoundButton::LightFactor({10, 10}, {0, 10}), 1 - top, 1e-9);  // bottom
    EXPECT_NEAR(CRoundButton::LightFactor({5, 0}, {10, 5}), 0.5, 1e-9);        // upper right
    EXPECT_EQ(CRoundButton::MixColor(Qt::black, Qt::white, 0.5), QColor(127, 127, 127));
    EXPECT_EQ(CRoundButton::MixColor(QColor(10, 200, 100), QColor(20, 0, 255), 0.25),
              QColor(12, 150, 138));
}

TEST(RoundButtonScreenshot, ShapesAndJogCaptionsForAPersonToLookAt) {
    QWidget panel;
    panel.resize(560, 310);
    QFont font("DejaVu Sans");
    font.setPointSize(8);
    panel.setFont(font);
    const auto add = [&panel](QRect geometry, int shape, const char* text) {
        auto* button = new CRoundButton(&panel);
        button->setGeometry(geometry);
        button->setText(text);
        button->SetShape(shape, 0);
        return button;
    };
    // A row per shape: normal, pressed, disabled, flat.
    const QSize sizes[] = {{90, 40}, {70, 64}, {64, 64}, {100, 44}};  // by shape type
    int y = 8;
    for (int shape : {2, 1, 0, 3}) {
        const QSize size = sizes[shape];
        int x = 8;
        for (const char* variant : {"Normal", "Pressed", "Disabled", "Flat"}) {
            auto* button = add({QPoint(x, y), size}, shape, variant);
            button->setDown(variant[0] == 'P');
            button->setEnabled(variant[0] != 'D');
            button->setFlat(variant[0] == 'F');
            x += size.width() + 10;
        }
        y += size.height() + 10;
    }
    // The jog buttons: two-line captions until relabelled, positive in green.
    add({480, 8, 64, 64}, 2, "Positive\n+")->SetCaptionColor(QColor(100, 175, 100));
    add({480, 82, 64, 64}, 2, "Negative\n-");
    add({480, 156, 64, 64}, 2, "Right +")->SetCaptionColor(QColor(100, 175, 100));
    add({480, 230, 64, 64}, 2, "Left -")->setDown(true);

    const QString folder = QStringLiteral(TARNWICK_TEST_BIN "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(Grab(panel).save(folder + "/round_buttons.png"));
}
