#pragma once
// CPreviewWnd: the 3-D preview on the run page. It draws the machine's axes from
// the origin, unlit, in a lit and depth-tested scene under a model rotation,
// through an orthographic projection fitted to the job box by the current
// view record. Over the axes it draws the run list's toolpaths (cuts, rapid
// moves, Z moves and turns in colours of their own, what the machine has done
// in grey) and the tool where the machine is. A drag turns the model, the
// wheel zooms, a double click brings back the fitted view.
//
// Rendering is OpenGL 1.1 fixed function with GLU (display lists, lights,
// gluLookAt). Where the platform has no OpenGL the panel never shows and keeps
// out of any parent it is given (it is still deleted with it), since a window
// holding a GL widget could not be drawn there; where the context lacks the
// fixed-function pipeline the panel shows plain white. No GL call of ours is
// made without a current, valid context.
#include <QMatrix4x4>
#include <QOpenGLWidget>
#include <QPointF>
#include <QSize>
#include <QSurfaceFormat>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "jobs/path_vertices.h"
#include "jobs/toolpath.h"

// An axis-aligned box in model or view units.
struct PreviewBox {
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0, zmin = 0, zmax = 0;
    bool operator==(const PreviewBox&) const = default;
};

struct PreviewView {
    PreviewBox fit;     // the job box seen through `transform`, widened to the viewport's aspect
    PreviewBox window;  // the box the projection is built from; a copy of `fit`
    std::array<double, 16> transform{};  // model to view, column order, translation in 12..14
};

// The model's placement under the axes; draw applies it on every paint.
struct PreviewViewState {
    double verticalPan = 0;
    double horizontalPan = 0;
    double rotationX = -60;  // degrees, applied first
    double rotationY = 0;
    double rotationZ = 30;
    double scale = 1.0;
};

// What the projection matrix is built from: an orthographic box around the
// eye, which looks down -z at the window box's centre.
struct PreviewProjection {
    double left = 0, right = 0, bottom = 0, top = 0, zNear = 0, zFar = 0;
    std::array<double, 3> eye{}, centre{}, up{};
};

enum class PreviewGlSimulation { Off, NoOpenGl, NoFixedFunction };

class CPreviewWnd : public QOpenGLWidget {
    Q_OBJECT

public:
    static constexpr int kViewCount = 7;
    static constexpr int kInitialView = 3;
    static constexpr QSize kPanelSize{275, 290};  // the panel's place on the run page
    static constexpr PreviewBox kDefaultJobBox{-1, 1, -1, 1, -1, 1};

    explicit CPreviewWnd(QWidget* parent = nullptr);
    ~CPreviewWnd() override;

    // Double-buffered RGBA, 8 bits per colour, no alpha, 32-bit depth, 8-bit
    // stencil, in a profile that keeps the fixed-function calls.
    static QSurfaceFormat RequestedFormat();

    // The records of all views fitted to `jobBox` for a viewport of `viewport`.
    static std::array<PreviewView, kViewCount> FitViews(const PreviewBox& jobBox, QSizeF viewport);
    static PreviewProjection ProjectionFor(const PreviewBox& jobBox, const PreviewBox& window);

    // The model box the views fit; the views and projection are refitted.
    void SetJobBox(const PreviewBox& box);
    const PreviewBox& JobBox() const { return m_jobBox; }
    const PreviewViewState& ViewState() const { return m_viewState; }
    const std::array<PreviewView, kViewCount>& Views() const { return m_views; }
    int CurrentView() const { return m_currentView; }
    const PreviewProjection& Projection() const { return m_projection; }

    // True once the axes have been set up in a usable context.
    bool IsRendering() const { return m_axesList != 0; }
    // Depth bits of the buffer drawn into, read at the first paint; 0 before.
    int DepthBits() const { return m_depthBits; }

    // Tests stand in for a platform without OpenGL, or for contexts without
    // the fixed-function pipeline.
    static void SimulateForTesting(PreviewGlSimulation simulation);

    void setVisible(bool visible) override;

    // A file's toolpath and the same thinned for drawing.
    struct Path {
        std::shared_ptr<const jobs::Toolpath> toolpath;
        std::shared_ptr<const jobs::PathVertices> vertices;
    };
    // The run list's toolpaths, in run order; the views fit them.
    void SetPaths(std::vector<Path> paths);
    std::size_t PathCount() const { return m_paths.size(); }
    // Commands the machine has done of the run (counted on across its files).
    void SetCommandsDone(std::uint32_t done);
    // Where the tool is, in job coordinates; nothing while not known.
    void SetTool(std::optional<jobs::PathPoint> tool);
    std::optional<jobs::PathPoint> Tool() const { return m_tool; }
    // Where a point of the model lands in the panel, in pixels from its top left.
    QPointF PixelOf(const jobs::PathPoint& point) const;

    // Colours of the path, as drawn.
    static constexpr std::uint8_t kCutColour[3] = {0, 90, 255};
    static constexpr std::uint8_t kRapidColour[3] = {255, 150, 0};
    static constexpr std::uint8_t kZColour[3] = {170, 0, 200};
    static constexpr std::uint8_t kTurnColour[3] = {0, 170, 170};
    static constexpr std::uint8_t kDoneColour[3] = {128, 128, 128};
    static constexpr std::uint8_t kToolColour[3] = {255, 0, 255};

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    void Refit();
    void ApplyProjection() const;
    void BuildAxesList();
    void Draw() const;
    void DrawPaths() const;
    // The model's placement under the view state: what Draw applies, and PixelOf.
    QMatrix4x4 ModelMatrix() const;
    void ReleaseGl();
    void StayOutOf(QWidget* owner);

    PreviewBox m_jobBox = kDefaultJobBox;
    PreviewViewState m_viewState;
    std::array<PreviewView, kViewCount> m_views{};
    int m_currentView = kInitialView;
    PreviewProjection m_projection;
    unsigned m_axesList = 0;  // display list name; 0 while not rendering
    int m_depthBits = 0;
    QMetaObject::Connection m_ownerGone;  // deletes a panel kept out of its page

    struct DrawnPath {
        Path path;
        std::vector<std::uint8_t> colours;  // three per vertex: of the move ending there
        std::size_t verticesDone = 0;
    };
    std::vector<DrawnPath> m_paths;
    std::uint32_t m_commandsDone = 0;
    std::optional<jobs::PathPoint> m_tool;
    QPointF m_dragFrom;
};
