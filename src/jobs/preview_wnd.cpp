#include "jobs/preview_wnd.h"

#include <GL/glu.h>

#include <QEvent>
#include <QGuiApplication>
#include <QMatrix4x4>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

PreviewGlSimulation g_simulation = PreviewGlSimulation::Off;

// Whether this process can show a GL widget at all; asked once. Qt's offscreen
// platform makes contexts but cannot put a GL widget into a window.
bool PlatformHasOpenGl() {
    if (g_simulation == PreviewGlSimulation::NoOpenGl) return false;
    static const bool has = [] {
        if (QGuiApplication::platformName() == QLatin1String("offscreen")) return false;
        QOpenGLContext probe;
        probe.setFormat(CPreviewWnd::RequestedFormat());
        return probe.create();
    }();
    return has;
}

// Rotations about x, then y, then z, in degrees, as glRotate applies them.
struct Rotation {
    double x, y, z;
};

constexpr PreviewViewState kInitialViewState{};
constexpr Rotation kModelRotation{kInitialViewState.rotationX, kInitialViewState.rotationY,
                                  kInitialViewState.rotationZ};

// A view's transform is the rotation that shows the model from that side.
// View 3, the one the panel shows, is the very rotation draw applies to the
// model, so its fit box is the screen area the job box covers: the origin
// lands in the middle and the axes run from it out to the panel's edges.
// (x runs to the right, y to the left and away, z up.) The others are the
// usual six sides, kept for a panel that lets the operator choose.
constexpr std::array<Rotation, CPreviewWnd::kViewCount> kViewRotations{{
    {0, 0, 0},       // top: x right, y up
    {-90, 0, 0},     // front: x right, z up
    {-90, 0, -90},   // right: y right, z up
    kModelRotation,  // the panel's own view
    {180, 0, 0},     // bottom: x right, y down
    {-90, 0, 180},   // back: x left, z up
    {-90, 0, 90},    // left: y left, z up
}};

// A coordinate of -999.999 marks a box that was never set.
constexpr double kUnsetCoordinate = -999.999;
constexpr double kUnsetTolerance = 0.0001;
constexpr double kEmptyMin = 99999;
constexpr double kMarginShare = 0.01;  // keeps the box clear of the panel's border

constexpr GLfloat kAmbient[] = {0.1f, 0.1f, 0.1f, 0.1f};
constexpr GLfloat kDiffuse[] = {0.7f, 0.7f, 0.7f, 0.7f};
constexpr GLfloat kSpecular[] = {0.0f, 0.0f, 0.0f, 0.2f};
struct Light {
    GLenum id;
    GLfloat position[4];  // w = 0: directional
};
constexpr Light kLights[] = {
    {GL_LIGHT0, {15, 15, 10, 0}},
    {GL_LIGHT1, {-15, -15, -10, 0}},
    {GL_LIGHT2, {0, 0, -150, 0}},
};

struct Axis {
    GLfloat colour[3];
    GLdouble direction[3];
};
constexpr Axis kAxes[] = {
    {{0, 1, 0}, {1, 0, 0}},  // x green
    {{1, 0, 0}, {0, 1, 0}},  // y red
    {{0, 0, 1}, {0, 0, 1}},  // z blue
};
// Axis length in job sizes: each axis leaves the fitted view long before its
// end. Far longer axes (millions of units) come out bent by several pixels,
// as the clipper cuts them in single precision.
constexpr double kAxisReach = 1000;

constexpr double kPanStep = 0.02;
constexpr double kZNear = 0.001;
constexpr double kZFar = 1'000'000;
// Turning and zooming by hand.
constexpr double kDegreesPerPixel = 0.5;
constexpr double kZoomPerNotch = 1.2;
constexpr double kLeastScale = 0.05, kMostScale = 200;
constexpr float kToolMarkerPixels = 9;

std::array<double, 16> TransformFor(const Rotation& r) {
    QMatrix4x4 m;
    m.rotate(float(r.x), 1, 0, 0);
    m.rotate(float(r.y), 0, 1, 0);
    m.rotate(float(r.z), 0, 0, 1);
    std::array<double, 16> t;
    std::copy_n(m.constData(), t.size(), t.begin());
    return t;
}

// Widens the box on the short side so that it has the viewport's aspect.
void MatchAspect(PreviewBox& b, QSizeF viewport) {
    const double w = b.xmax - b.xmin, h = b.ymax - b.ymin;
    const double kx = viewport.width() / w, ky = viewport.height() / h;
    if (kx < ky) {
        const double d = std::abs((viewport.height() / kx - h) * 0.5);
        b.ymin -= d;
        b.ymax += d;
    } else {
        const double d = std::abs((viewport.width() / ky - w) * 0.5);
        b.xmin -= d;
        b.xmax += d;
    }
}

void Include(PreviewBox& b, double x, double y, double z) {
    b.xmin = std::min(b.xmin, x);
    b.xmax = std::max(b.xmax, x);
    b.ymin = std::min(b.ymin, y);
    b.ymax = std::max(b.ymax, y);
    b.zmin = std::min(b.zmin, z);
    b.zmax = std::max(b.zmax, z);
}

// The largest extent or bound of the job box: how far the eye stands off and
// how long the axes are.
float JobSize(const PreviewBox& j) {
    return std::max({float(j.xmax - j.xmin), float(j.ymax - j.ymin), float(j.zmax - j.zmin),
                     std::abs(float(j.xmin)), std::abs(float(j.xmax)), std::abs(float(j.ymin)),
                     std::abs(float(j.ymax)), std::abs(float(j.zmin)), std::abs(float(j.zmax))});
}

// Whether the context runs the fixed-function pipeline the panel draws with.
bool IsUsable(const QOpenGLContext* context) {
    if (g_simulation != PreviewGlSimulation::Off || !context || !context->isValid() ||
        context->isOpenGLES())
        return false;
    const QSurfaceFormat format = context->format();
    // A core profile has no display lists, lights or matrix stack.
    return format.profile() != QSurfaceFormat::CoreProfile && format.version() >= std::pair(1, 1);
}

bool IsUnset(double v) { return std::abs(v - kUnsetCoordinate) < kUnsetTolerance; }

}  // namespace

CPreviewWnd::CPreviewWnd(QWidget* parent) : QOpenGLWidget(PlatformHasOpenGl() ? parent : nullptr) {
    if (parent && !parentWidget()) StayOutOf(parent);
    setFormat(RequestedFormat());
    resize(kPanelSize);
    Refit();
}

CPreviewWnd::~CPreviewWnd() {
    // The base class destroys the context after this object is gone.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    ReleaseGl();
}

QSurfaceFormat CPreviewWnd::RequestedFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(1, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(32);
    format.setStencilBufferSize(8);
    // No accumulation buffer can be asked for here; nothing draws into one.
    return format;
}

void CPreviewWnd::SimulateForTesting(PreviewGlSimulation simulation) { g_simulation = simulation; }

bool CPreviewWnd::event(QEvent* event) {
    QWidget* owner = parentWidget();
    if (event->type() != QEvent::ParentChange || !owner || PlatformHasOpenGl())
        return QOpenGLWidget::event(event);
    setParent(nullptr);
    StayOutOf(owner);
    return true;
}

void CPreviewWnd::StayOutOf(QWidget* owner) {
    // Without OpenGL a window that holds a GL widget, even a hidden one,
    // cannot be drawn at all; so the panel keeps out of the page, goes with
    // it, and never shows.
    disconnect(m_ownerGone);
    m_ownerGone = connect(owner, &QObject::destroyed, this, [this] { delete this; });
}

void CPreviewWnd::setVisible(bool visible) {
    // Without OpenGL the page's background stays in the panel's place.
    QOpenGLWidget::setVisible(visible && PlatformHasOpenGl());
}

std::array<PreviewView, CPreviewWnd::kViewCount> CPreviewWnd::FitViews(const PreviewBox& jobBox,
                                                                       QSizeF viewport) {
    PreviewBox box = jobBox;
    for (auto [lo, hi] : {std::pair(&box.xmin, &box.xmax), std::pair(&box.ymin, &box.ymax),
                          std::pair(&box.zmin, &box.zmax)}) {
        const double margin = kMarginShare * (*hi - *lo);
        *lo -= margin;
        *hi += margin;
    }
    std::array<PreviewView, kViewCount> views{};
    for (std::size_t v = 0; v < views.size(); ++v) {
        PreviewView& view = views[v];
        view.transform = TransformFor(kViewRotations[v]);
        const auto& m = view.transform;
        view.fit = {kEmptyMin, -kEmptyMin, kEmptyMin, -kEmptyMin, kEmptyMin, -kEmptyMin};
        for (double x : {box.xmin, box.xmax})
            for (double y : {box.ymin, box.ymax})
                for (double z : {box.zmin, box.zmax}) {
                    const double tx = m[0] * x + m[4] * y + m[8] * z + m[12];
                    const double ty = m[1] * x + m[5] * y + m[9] * z + m[13];
                    const double tz = m[2] * x + m[6] * y + m[10] * z + m[14];
                    if (IsUnset(tx) || IsUnset(ty) || IsUnset(tz)) continue;
                    Include(view.fit, tx, ty, tz);
                }
        MatchAspect(view.fit, viewport);
        view.window = view.fit;
    }
    return views;
}

PreviewProjection CPreviewWnd::ProjectionFor(const PreviewBox& jobBox, const PreviewBox& window) {
    const float e = JobSize(jobBox);
    const double w = window.xmax - window.xmin, h = window.ymax - window.ymin;
    const double cx = (window.xmin + window.xmax) / 2, cy = (window.ymin + window.ymax) / 2;
    PreviewProjection p;
    p.left = -w / 2;
    p.right = w / 2;
    p.bottom = -h / 2;
    p.top = h / 2;
    p.zNear = kZNear;
    p.zFar = kZFar;
    // The eye stands well in front of anything the job box holds.
    p.eye = {cx, cy, 100.0 * e + 1};
    p.centre = {cx, cy, window.zmin};
    p.up = {0, 1, 0};
    return p;
}

void CPreviewWnd::SetJobBox(const PreviewBox& box) {
    m_jobBox = box;
    Refit();
    if (IsRendering()) {
        makeCurrent();
        BuildAxesList();
        doneCurrent();
    }
    update();
}

void CPreviewWnd::Refit() {
    m_views = FitViews(m_jobBox, size());
    m_projection = ProjectionFor(m_jobBox, m_views[m_currentView].window);
}

void CPreviewWnd::initializeGL() {
    if (!IsUsable(context())) return;
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CPreviewWnd::ReleaseGl,
            Qt::UniqueConnection);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (const Light& light : kLights) {
        glLightfv(light.id, GL_AMBIENT, kAmbient);
        glLightfv(light.id, GL_DIFFUSE, kDiffuse);
        glLightfv(light.id, GL_SPECULAR, kSpecular);
        glLightfv(light.id, GL_POSITION, light.position);
    }
    glClearColor(1, 1, 1, 0);
    // The widget draws into its own framebuffer, which stands for the back
    // buffer, and sets the viewport to its size before every paint.
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    BuildAxesList();
}

void CPreviewWnd::resizeGL(int, int) { Refit(); }

void CPreviewWnd::paintGL() {
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (!current || !current->isValid()) return;
    if (!IsRendering()) {
        // Any context clears, even one that cannot draw the axes.
        current->functions()->glClearColor(1, 1, 1, 0);
        current->functions()->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    if (m_depthBits == 0) glGetIntegerv(GL_DEPTH_BITS, &m_depthBits);
    // Loaded on every paint so that a refit shows at once.
    ApplyProjection();
    Draw();
}

void CPreviewWnd::ApplyProjection() const {
    const PreviewProjection& p = m_projection;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(p.left, p.right, p.bottom, p.top, p.zNear, p.zFar);
    gluLookAt(p.eye[0], p.eye[1], p.eye[2], p.centre[0], p.centre[1], p.centre[2], p.up[0], p.up[1],
              p.up[2]);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CPreviewWnd::BuildAxesList() {
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    // Our own list name: other GL widgets of the window share the namespace.
    if (m_axesList == 0) m_axesList = glGenLists(1);
    if (m_axesList == 0) return;
    const double length = kAxisReach * JobSize(m_jobBox);
    glNewList(m_axesList, GL_COMPILE);
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    for (const Axis& axis : kAxes) {
        glColor3fv(axis.colour);
        glVertex3d(0, 0, 0);
        glVertex3d(axis.direction[0] * length, axis.direction[1] * length,
                   axis.direction[2] * length);
    }
    glEnd();
    glEndList();
}

void CPreviewWnd::Draw() const {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glMultMatrixf(ModelMatrix().constData());
    glCallList(m_axesList);
    DrawPaths();
    glPopMatrix();
}

QMatrix4x4 CPreviewWnd::ModelMatrix() const {
    const PreviewViewState& s = m_viewState;
    QMatrix4x4 m;
    m.translate(float(s.horizontalPan * s.scale * kPanStep),
                float(s.verticalPan * s.scale * -kPanStep), 0);
    m.rotate(float(s.rotationX), 1, 0, 0);
    m.rotate(float(s.rotationY), 0, 1, 0);
    m.rotate(float(s.rotationZ), 0, 0, 1);
    m.scale(float(s.scale));
    return m;
}

void CPreviewWnd::DrawPaths() const {
    glDisable(GL_LIGHTING);
    glShadeModel(GL_FLAT);  // a line takes the colour of the vertex that ends it
    glEnableClientState(GL_VERTEX_ARRAY);
    for (const DrawnPath& drawn : m_paths) {
        const jobs::PathVertices& v = *drawn.path.vertices;
        if (v.Count() < 2) continue;
        glVertexPointer(3, GL_FLOAT, 0, v.xyz.data());
        const std::size_t done = drawn.verticesDone;
        if (done > 1) {
            glColor3ubv(kDoneColour);
            glDrawArrays(GL_LINE_STRIP, 0, GLsizei(done));
        }
        // What is to come starts where what is done ends.
        const std::size_t first = done > 0 ? done - 1 : 0;
        if (v.Count() - first >= 2) {
            glEnableClientState(GL_COLOR_ARRAY);
            glColorPointer(3, GL_UNSIGNED_BYTE, 0, drawn.colours.data());
            glDrawArrays(GL_LINE_STRIP, GLint(first), GLsizei(v.Count() - first));
            glDisableClientState(GL_COLOR_ARRAY);
        }
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    if (m_tool) {
        // Over everything: the operator looks for it.
        glDisable(GL_DEPTH_TEST);
        glPointSize(kToolMarkerPixels);
        glColor3ubv(kToolColour);
        glBegin(GL_POINTS);
        glVertex3f(m_tool->x, m_tool->y, m_tool->z);
        glEnd();
        glEnable(GL_DEPTH_TEST);
    }
}

void CPreviewWnd::SetPaths(std::vector<Path> paths) {
    m_paths.clear();
    PreviewBox box{kEmptyMin, -kEmptyMin, kEmptyMin, -kEmptyMin, kEmptyMin, -kEmptyMin};
    for (Path& path : paths) {
        if (!path.toolpath || !path.vertices) continue;
        DrawnPath drawn{std::move(path), {}, 0};
        for (const jobs::MoveKind kind : drawn.path.vertices->kinds) {
            const std::uint8_t* colour = kind == jobs::MoveKind::Cut     ? kCutColour
                                         : kind == jobs::MoveKind::Rapid ? kRapidColour
                                         : kind == jobs::MoveKind::ZOnly ? kZColour
                                                                         : kTurnColour;
            drawn.colours.insert(drawn.colours.end(), colour, colour + 3);
        }
        const jobs::PathPoint low = drawn.path.toolpath->Low(), high = drawn.path.toolpath->High();
        Include(box, low.x, low.y, low.z);
        Include(box, high.x, high.y, high.z);
        m_paths.push_back(std::move(drawn));
    }
    // A path that is a single point cannot be fitted: the axes alone then.
    const bool flat =
        box.xmax - box.xmin <= 0 && box.ymax - box.ymin <= 0 && box.zmax - box.zmin <= 0;
    SetJobBox(m_paths.empty() || flat ? kDefaultJobBox : box);
    SetCommandsDone(m_commandsDone);
}

void CPreviewWnd::SetCommandsDone(std::uint32_t done) {
    m_commandsDone = done;
    bool changed = false;
    for (DrawnPath& drawn : m_paths) {
        const jobs::Toolpath& toolpath = *drawn.path.toolpath;
        const std::size_t vertices = drawn.path.vertices->VerticesDone(toolpath.MovesDone(done));
        changed |= vertices != drawn.verticesDone;
        drawn.verticesDone = vertices;
        done -= std::min(done, toolpath.CommandCount());
    }
    if (changed) update();
}

void CPreviewWnd::SetTool(std::optional<jobs::PathPoint> tool) {
    if (tool == m_tool) return;
    m_tool = tool;
    update();
}

QPointF CPreviewWnd::PixelOf(const jobs::PathPoint& point) const {
    const PreviewProjection& p = m_projection;
    QMatrix4x4 view;
    view.ortho(float(p.left), float(p.right), float(p.bottom), float(p.top), float(p.zNear),
               float(p.zFar));
    view.lookAt(QVector3D(p.eye[0], p.eye[1], p.eye[2]),
                QVector3D(p.centre[0], p.centre[1], p.centre[2]),
                QVector3D(p.up[0], p.up[1], p.up[2]));
    const QVector3D ndc = (view * ModelMatrix()).map(QVector3D(point.x, point.y, point.z));
    return {(ndc.x() + 1) / 2 * width(), (1 - ndc.y()) / 2 * height()};
}

void CPreviewWnd::mousePressEvent(QMouseEvent* event) { m_dragFrom = event->position(); }

void CPreviewWnd::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPointF moved = event->position() - m_dragFrom;
    m_dragFrom = event->position();
    m_viewState.rotationZ += moved.x() * kDegreesPerPixel;
    m_viewState.rotationX += moved.y() * kDegreesPerPixel;
    update();
}

void CPreviewWnd::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    m_viewState.scale =
        std::clamp(m_viewState.scale * std::pow(kZoomPerNotch, notches), kLeastScale, kMostScale);
    update();
}

void CPreviewWnd::mouseDoubleClickEvent(QMouseEvent*) {
    m_viewState = kInitialViewState;
    update();
}

void CPreviewWnd::ReleaseGl() {
    if (!IsRendering()) return;
    makeCurrent();
    const QOpenGLContext* current = QOpenGLContext::currentContext();
    if (current && current->isValid()) glDeleteLists(m_axesList, 1);
    doneCurrent();
    m_axesList = 0;
}
