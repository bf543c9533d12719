#include "jobs/preview_wnd.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMatrix4x4>
#include <QOpenGLContext>
#include <QTest>
#include <QVector3D>
#include <QWidget>
#include <cmath>
#include <iostream>

namespace {

constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kGreen = qRgb(0, 255, 0);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

QVector3D Point(const std::array<double, 3>& p) { return QVector3D(p[0], p[1], p[2]); }

// Model point to view coordinates through a record's column-order transform.
std::array<double, 3> Transformed(const PreviewView& view, double x, double y, double z) {
    const auto& m = view.transform;
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

std::string NoOpenGlMessage() {
    return "no OpenGL on the '" + QGuiApplication::platformName().toStdString() +
           "' platform, so the preview draws nothing; run under xvfb-run";
}

double Aspect(const PreviewBox& b) { return (b.xmax - b.xmin) / (b.ymax - b.ymin); }

// --- Fitting the views ------------------------------------------------------

TEST(PreviewFit, EveryViewHoldsTheWidenedJobBoxAtThePanelsAspect) {
    const PreviewBox job{-2, 6, 0, 3, -1, 0.5};
    const auto views = CPreviewWnd::FitViews(job, CPreviewWnd::kPanelSize);
    const double margin = 1e-9;
    for (std::size_t v = 0; v < views.size(); ++v) {
        SCOPED_TRACE(v);
        const PreviewBox& fit = views[v].fit;
        EXPECT_EQ(views[v].window, fit);
        EXPECT_NEAR(Aspect(fit), 275.0 / 290.0, 1e-9);
        // Every corner of the box widened by 1 % inside, and the fit tight on
        // the long side.
        bool touchesX = false, touchesY = false;
        for (double x : {-2.08, 6.08})
            for (double y : {-0.03, 3.03})
                for (double z : {-1.015, 0.515}) {
                    const auto [px, py, pz] = Transformed(views[v], x, y, z);
                    EXPECT_GE(px, fit.xmin - margin);
                    EXPECT_LE(px, fit.xmax + margin);
                    EXPECT_GE(py, fit.ymin - margin);
                    EXPECT_LE(py, fit.ymax + margin);
                    EXPECT_GE(pz, fit.zmin - margin);
                    EXPECT_LE(pz, fit.zmax + margin);
                    touchesX |= std::abs(px - fit.xmin) < 1e-9;
                    touchesY |= std::abs(py - fit.ymin) < 1e-9;
                }
        EXPECT_TRUE(touchesX || touchesY);
    }
}

TEST(PreviewFit, ProjectionLooksDownAtTheWindowCentreFromAboveTheLargestExtent) {
    const PreviewBox window{1, 5, -2, 0, -3, 4};
    // Largest of the extents (10, 4, 5) and the bounds' sizes: the extent of x.
    const PreviewProjection p = CPreviewWnd::ProjectionFor({0, 10, 0, 4, -5, 0}, window);
    EXPECT_EQ(p.left, -2);
    EXPECT_EQ(p.right, 2);
    EXPECT_EQ(p.bottom, -1);
    EXPECT_EQ(p.top, 1);
    EXPECT_EQ(p.zNear, 0.001);
    EXPECT_EQ(p.zFar, 1'000'000);
    EXPECT_EQ(p.eye, (std::array<double, 3>{3, -1, 1001}));
    EXPECT_EQ(p.centre, (std::array<double, 3>{3, -1, -3}));
    EXPECT_EQ(p.up, (std::array<double, 3>{0, 1, 0}));
    // A bound far from the origin counts even where the extent is small.
    EXPECT_EQ(CPreviewWnd::ProjectionFor({-1, 1, 40, 41, 0, 1}, window).eye[2], 4101);
}

TEST(PreviewFit, PanelRefitsItsCurrentViewToANewJobBox) {
    CPreviewWnd panel;
    EXPECT_EQ(panel.CurrentView(), 3);
    EXPECT_EQ(panel.JobBox(), CPreviewWnd::kDefaultJobBox);
    EXPECT_EQ(panel.Projection().eye[2], 201);

    const PreviewBox box{0, 10, 0, 4, -5, 0};
    panel.SetJobBox(box);
    const auto views = CPreviewWnd::FitViews(box, CPreviewWnd::kPanelSize);
    EXPECT_EQ(panel.Views()[3].fit, views[3].fit);
    const PreviewProjection expected = CPreviewWnd::ProjectionFor(box, views[3].window);
    EXPECT_EQ(panel.Projection().eye, expected.eye);
    EXPECT_EQ(panel.Projection().right, expected.right);
}

// --- Drawing ------------------------------------------------------------------

// Where the panel's projection and model rotation put a model point, in pixels.
QPointF ToPixel(const CPreviewWnd& panel, const QVector3D& model) {
    const PreviewProjection& p = panel.Projection();
    const PreviewViewState& s = panel.ViewState();
    QMatrix4x4 m;
    m.ortho(p.left, p.right, p.bottom, p.top, p.zNear, p.zFar);
    m.lookAt(Point(p.eye), Point(p.centre), Point(p.up));
    m.translate(s.horizontalPan * s.scale * 0.02, s.verticalPan * s.scale * -0.02, 0);
    m.rotate(s.rotationX, 1, 0, 0);
    m.rotate(s.rotationY, 0, 1, 0);
    m.rotate(s.rotationZ, 0, 0, 1);
    m.scale(s.scale);
    const QVector3D ndc = m.map(model);
    return {(ndc.x() + 1) / 2 * panel.width(), (1 - ndc.y()) / 2 * panel.height()};
}

bool HasColourNear(const QImage& image, QPointF at, QRgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p(int(std::floor(at.x())) + dx, int(std::floor(at.y())) + dy);
            if (image.valid(p) && image.pixel(p) == colour) return true;
        }
    return false;
}

struct AxisTrace {
    int steps = 0;
    int hits = 0;
};

// Walks the projected axis from near the origin to the frame's edge, one pixel
// at a time, and counts the steps that find the axis colour on the line.
AxisTrace TraceAxis(const CPreviewWnd& panel, const QImage& frame, const QVector3D& direction,
                    QRgb colour) {
    const QPointF origin = ToPixel(panel, {0, 0, 0});
    QPointF step = ToPixel(panel, direction) - origin;
    step /= std::hypot(step.x(), step.y());
    const QRectF inside = QRectF(frame.rect()).adjusted(2, 2, -2, -2);
    AxisTrace trace;
    // Clear of where the three axes meet.
    for (QPointF at = origin + 15 * step; inside.contains(at); at += step) {
        ++trace.steps;
        trace.hits += HasColourNear(frame, at, colour);
    }
    return trace;
}

TEST(PreviewRender, WhiteBackgroundAndAxesInPureGreenRedBlue) {
    CPreviewWnd panel;
    panel.show();
    if (!panel.isVisible()) GTEST_SKIP() << NoOpenGlMessage();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    ASSERT_TRUE(panel.context() && panel.context()->isValid());
    const QImage frame = panel.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const QString path = QString::fromStdString(::testing::TempDir()) + "preview.png";
    ASSERT_TRUE(frame.save(path));
    std::cout << "preview frame: " << path.toStdString() << ", depth bits " << panel.DepthBits()
              << "\n";

    const QSurfaceFormat format = panel.context()->format();
    ASSERT_TRUE(panel.IsRendering())
        << "OpenGL " << format.majorVersion() << "." << format.minorVersion() << " refused";
    EXPECT_GT(panel.DepthBits(), 0);
    ASSERT_EQ(frame.size(), CPreviewWnd::kPanelSize * panel.devicePixelRatio());
    for (QPoint corner : {frame.rect().topLeft(), frame.rect().topRight(),
                          frame.rect().bottomLeft(), frame.rect().bottomRight()})
        EXPECT_EQ(frame.pixel(corner), kWhite) << corner.x() << "," << corner.y();

    // Unlit and unblended: nothing but the background and the three colours.
    int others = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb c = frame.pixel(x, y);
            others += c != kWhite && c != kGreen && c != kRed && c != kBlue;
        }
    EXPECT_EQ(others, 0);

    const struct {
        const char* name;
        QVector3D direction;
        QRgb colour;
    } axes[] = {{"x", {1, 0, 0}, kGreen}, {"y", {0, 1, 0}, kRed}, {"z", {0, 0, 1}, kBlue}};
    for (const auto& axis : axes) {
        const AxisTrace trace = TraceAxis(panel, frame, axis.direction, axis.colour);
        EXPECT_GE(trace.steps, 50) << axis.name << " axis runs off the panel at once";
        EXPECT_EQ(trace.hits, trace.steps) << axis.name << " axis not drawn in its colour";
    }
}

QRgb Rgb(const std::uint8_t (&c)[3]) { return qRgb(c[0], c[1], c[2]); }

TEST(PreviewRender, PathInItsColoursWhatIsDoneInGreyAndTheToolOverIt) {
    CPreviewWnd panel;
    panel.show();
    if (!panel.isVisible()) GTEST_SKIP() << NoOpenGlMessage();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    ASSERT_TRUE(panel.IsRendering());
    // Up to (0, 10), down, cut along X and then Y, up, back along Y's end.
    const auto toolpath = std::make_shared<const jobs::Toolpath>(jobs::ToolpathOf(
        "!PZ-100,500;PU0,1000;PD4000,1000,4000,3000;PU0,3000;", jobs::MachineLimits{}));
    panel.SetPaths(
        {{toolpath, std::make_shared<const jobs::PathVertices>(jobs::ThinForScreen(*toolpath))}});
    const jobs::PathPoint firstCut{20, 10, -1, 0}, secondCut{40, 20, -1, 0}, rapid{20, 30, 5, 0};
    auto colourAt = [&](const jobs::PathPoint& point, QRgb colour) {
        const QImage frame = panel.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        return HasColourNear(frame, panel.PixelOf(point) * panel.devicePixelRatio(), colour);
    };
    EXPECT_TRUE(colourAt(firstCut, Rgb(CPreviewWnd::kCutColour)));
    EXPECT_TRUE(colourAt(secondCut, Rgb(CPreviewWnd::kCutColour)));
    EXPECT_TRUE(colourAt(rapid, Rgb(CPreviewWnd::kRapidColour)));

    panel.SetCommandsDone(3);  // both cuts
    EXPECT_TRUE(colourAt(firstCut, Rgb(CPreviewWnd::kDoneColour)));
    EXPECT_TRUE(colourAt(secondCut, Rgb(CPreviewWnd::kDoneColour)));
    EXPECT_TRUE(colourAt(rapid, Rgb(CPreviewWnd::kRapidColour)));

    panel.SetTool(secondCut);
    EXPECT_TRUE(colourAt(secondCut, Rgb(CPreviewWnd::kToolColour)));
    QDir().mkpath(TARNWICK_TEST_BIN "/screenshots");
    panel.grabFramebuffer().save(TARNWICK_TEST_BIN "/screenshots/preview_path.png");
}

// --- Without a usable context ---------------------------------------------------

class PreviewWithout : public ::testing::Test {
protected:
    void TearDown() override { CPreviewWnd::SimulateForTesting(PreviewGlSimulation::Off); }
};

// The panel where the run page has it, on a page of a known colour.
struct Page {
    Page() {
        widget.resize(520, 320);
        widget.setStyleSheet("background: rgb(10, 20, 30)");
        panel->move(225, 10);
    }
    QWidget widget;
    CPreviewWnd* panel = new CPreviewWnd(&widget);
};

// Made parentless and then moved in, as the dialog layer places its controls.
CPreviewWnd* MoveIn(QWidget& page) {
    auto* panel = new CPreviewWnd;
    panel->setParent(&page);
    panel->move(225, 10);
    panel->show();
    return panel;
}

// On a platform without OpenGL this is the real thing.
TEST_F(PreviewWithout, OpenGlNoPanelShowsAndThePageDrawsAroundThem) {
    CPreviewWnd::SimulateForTesting(PreviewGlSimulation::NoOpenGl);
    Page page;
    CPreviewWnd* before = MoveIn(page.widget);
    page.widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page.widget));
    CPreviewWnd* after = MoveIn(page.widget);
    page.widget.repaint();

    for (CPreviewWnd* panel : {page.panel, before, after}) {
        EXPECT_FALSE(panel->isVisible());
        EXPECT_FALSE(panel->IsRendering());
    }
    const QImage shot = page.widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.pixel(5, 5), qRgb(10, 20, 30));
    EXPECT_EQ(shot.pixel(page.panel->geometry().center()), qRgb(10, 20, 30));
}

TEST_F(PreviewWithout, FixedFunctionThePanelStaysPlainWhite) {
    CPreviewWnd::SimulateForTesting(PreviewGlSimulation::NoFixedFunction);
    Page page;
    page.widget.show();
    if (!page.panel->isVisible()) GTEST_SKIP() << NoOpenGlMessage();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page.widget));
    EXPECT_FALSE(page.panel->IsRendering());
    EXPECT_EQ(page.panel->DepthBits(), 0);

    const QImage frame = page.panel->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(frame.isNull());
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            ASSERT_EQ(frame.pixel(x, y), kWhite) << x << "," << y;
}

}  // namespace
