#include "pages/status_label.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <iostream>
#include <ostream>
#include <vector>

#include "ui/dialog.h"

void PrintTo(const QColor& c, std::ostream* os) {
    *os << "rgba(" << c.red() << ", " << c.green() << ", " << c.blue() << ", " << c.alpha() << ")";
}
void PrintTo(const QRect& r, std::ostream* os) {
    *os << "QRect(" << r.x() << ", " << r.y() << " " << r.width() << "x" << r.height() << ")";
}

namespace {

// The flash tick is the timer's handler; tests call it instead of waiting.
class FlashableLabel : public CStatusLabel {
public:
    using CStatusLabel::CStatusLabel;
    using CStatusLabel::OnTimer;
};

const QColor kWhite(255, 255, 255);

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QColor Pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

// A label with a known system colour and a font that draws the same everywhere.
void Prepare(QWidget& label, int width, int height) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, kWhite);
    label.setPalette(palette);
    label.resize(width, height);
}

void Configure(CStatusLabel& label, const QString& text) {
    label.SetFaceName("DejaVu Sans").SetPointSize(12).SetTextColor(Qt::black).SetText(text);
}

// The bounding box of every pixel that differs from the background.
QRect InkBox(const QImage& image, const QColor& background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
    return box;
}

// Runs of rows holding ink: one run per line of text.
int InkedRowRuns(const QImage& image, const QColor& background) {
    int runs = 0;
    bool previous = false;
    for (int y = 0; y < image.height(); ++y) {
        bool inked = false;
        for (int x = 0; x < image.width() && !inked; ++x)
            inked = image.pixelColor(x, y) != background;
        if (inked && !previous) ++runs;
        previous = inked;
    }
    return runs;
}

int CountPixels(const QImage& image, const std::function<bool(const QColor&)>& match) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y))) ++count;
    return count;
}

bool HasPixel(const QImage& image, const std::function<bool(const QColor&)>& match) {
    return CountPixels(image, match) > 0;
}

bool Reddish(const QColor& c) { return c.red() > 150 && c.green() < 80 && c.blue() < 80; }
bool Dark(const QColor& c) { return c.red() < 80 && c.green() < 80 && c.blue() < 80; }

// Reds of a gradient from black to (redEnd, 0, 0), read across a grabbed label.
std::vector<int> GradientReds(int width, int redEnd) {
    CStatusLabel label;
    label.resize(width, 8);
    label.SetBackground(QColor(0, 0, 0), QColor(redEnd, 0, 0), true);
    const QImage image = Grab(label);
    std::vector<int> reds;
    for (int x = 0; x < width; ++x) {
        const QColor top = Pixel(image, x, 0);
        EXPECT_EQ(top, Pixel(image, x, 7)) << "band not full height at x=" << x;
        reds.push_back(top.red());
    }
    return reds;
}

}  // namespace

// --- Gradient bands ---------------------------------------------------------

TEST(StatusLabelGradient, FiftyPixelsDrawFiftyOnePixelBands) {
    // (250 - 0) * 256 / 50 = 1280 per band: red grows by exactly 5 a pixel.
    const auto reds = GradientReds(50, 250);
    for (int x = 0; x < 50; ++x) EXPECT_EQ(reds[x], 5 * x) << "x=" << x;
}

TEST(StatusLabelGradient, ThreeHundredPixelsDrawOneHundredThreePixelBands) {
    // 200 * 256 / 100 = 512 per band: red grows by 2 every third pixel.
    const auto reds = GradientReds(300, 200);
    for (int x = 0; x < 300; ++x) EXPECT_EQ(reds[x], 2 * (x / 3)) << "x=" << x;
}

TEST(StatusLabelGradient, LastBandEndsAtTheRightEdge) {
    // 250 px: bands of 2 px; the hundredth band takes the 52 px left over.
    const auto reds = GradientReds(250, 200);
    for (int x = 0; x < 198; ++x) EXPECT_EQ(reds[x], 2 * (x / 2)) << "x=" << x;
    for (int x = 198; x < 250; ++x) EXPECT_EQ(reds[x], 198) << "x=" << x;
}

TEST(StatusLabelGradient, ChannelsStepInTruncatedFixedPoint) {
    // Three bands, 0 -> 100 rises 8533/256 a band (33, 66: not rounded to 67);
    // 100 -> 0 falls by the step truncated toward zero (100, 66, 33).
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    CStatusLabel::FillGradient(painter, image.rect(), QColor(0, 100, 10), QColor(100, 0, 10));
    painter.end();
    EXPECT_EQ(Pixel(image, 0, 1), QColor(0, 100, 10));
    EXPECT_EQ(Pixel(image, 1, 1), QColor(33, 66, 10));
    EXPECT_EQ(Pixel(image, 2, 1), QColor(66, 33, 10));
}

TEST(StatusLabelGradient, FrameTakesTheOuterPixelsAndTheGradientTheRest) {
    CStatusLabel label;
    label.resize(54, 10);
    label.SetBackground(QColor(0, 0, 0), QColor(250, 0, 0), true).SetBorder(true).SetSunken(true);
    EXPECT_EQ(label.contentsRect(), QRect(2, 2, 50, 6));
    const QImage image = Grab(label);
    EXPECT_EQ(Pixel(image, 0, 5).rgb(), label.palette().color(QPalette::Shadow).rgb());
    for (int x = 0; x < 50; ++x) EXPECT_EQ(Pixel(image, x + 2, 5).red(), 5 * x) << "x=" << x;
}

// --- Text -------------------------------------------------------------------

TEST(StatusLabelText, CrLfDrawsSeveralLinesEvenForACentredImage) {
    const CStatusLabel::Style centredImage{CStatusLabel::Align::Centre, true};
    CStatusLabel twoLines(nullptr, 0, centredImage);
    Prepare(twoLines, 240, 90);
    Configure(twoLines, "Machine is\r\nin View mode");
    EXPECT_EQ(InkedRowRuns(Grab(twoLines), kWhite), 2);

    // Without "\r\n" a centred image is one line, vertically centred.
    CStatusLabel oneLine(nullptr, 0, centredImage);
    Prepare(oneLine, 240, 90);
    Configure(oneLine, "Machine is\nin View mode");
    const QImage image = Grab(oneLine);
    EXPECT_EQ(InkedRowRuns(image, kWhite), 1);
    const QRect ink = InkBox(image, kWhite);
    EXPECT_NEAR(ink.center().y(), 45, 4);

    // Other styles break lines at "\r\n" too.
    CStatusLabel left;
    Prepare(left, 240, 90);
    Configure(left, "Line one\r\nLine two\r\nLine three");
    EXPECT_EQ(InkedRowRuns(Grab(left), kWhite), 3);
}

TEST(StatusLabelText, ThreeDCopyFollowsTheDirection) {
    CStatusLabel label(nullptr, 0, {CStatusLabel::Align::Centre, true});
    Prepare(label, 120, 60);
    Configure(label, "X");
    label.SetPointSize(30).SetBold(true).Set3DColor(Qt::red);
    const QRect flat = InkBox(Grab(label), kWhite);
    ASSERT_FALSE(flat.isEmpty());

    label.Set3DText(true, 1);
    const QImage downRight = Grab(label);
    EXPECT_EQ(InkBox(downRight, kWhite), flat.adjusted(0, 0, 1, 1));
    // The copy is drawn over the text, so red covers most of the letter and
    // black shows only along its top and left edges.
    EXPECT_GT(CountPixels(downRight, Reddish), 2 * CountPixels(downRight, Dark));

    label.Set3DText(true, 0);
    EXPECT_EQ(InkBox(Grab(label), kWhite), flat.adjusted(-1, -1, 0, 0));
}

TEST(StatusLabelText, RotationTurnsTheTextAboutTheMiddle) {
    CStatusLabel label;
    Prepare(label, 200, 200);
    Configure(label, "Tarnwick");
    const QRect flat = InkBox(Grab(label), kWhite);
    EXPECT_GT(flat.width(), flat.height());

    label.SetRotation(90, true);
    EXPECT_EQ(label.GetLogFont().escapement, 900);
    EXPECT_EQ(label.GetLogFont().orientation, 900);
    const QRect turned = InkBox(Grab(label), kWhite);
    EXPECT_GT(turned.height(), turned.width());
    // Centred on the middle along the baseline, which now runs upward.
    EXPECT_NEAR(turned.center().y(), 100, 2);
    EXPECT_LE(turned.right(), 100 + 1);
}

TEST(StatusLabelText, TransparentPaintsNothingUnderTheText) {
    QWidget parent;
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 255));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    parent.resize(200, 60);
    auto* label = new CStatusLabel(&parent);
    label->setGeometry(10, 10, 180, 40);
    Configure(*label, "Status");
    label->SetBackground(Qt::green).SetTransparent(true);

    // Drawn alone onto a clear image, only the text leaves marks.
    QImage own(label->size(), QImage::Format_ARGB32);
    own.fill(Qt::transparent);
    label->render(&own, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(own.pixelColor(179, 39).alpha(), 0);
    EXPECT_EQ(own.pixelColor(0, 0).alpha(), 0);
    EXPECT_TRUE(HasPixel(own, [](const QColor& c) { return c.alpha() > 0 && Dark(c); }));

    const QImage composed = Grab(parent);
    EXPECT_EQ(Pixel(composed, 188, 48), QColor(255, 0, 255));
    EXPECT_FALSE(HasPixel(composed, [](const QColor& c) { return c == QColor(Qt::green); }));

    label->SetTransparent(false);
    EXPECT_EQ(Pixel(Grab(parent), 188, 48), QColor(Qt::green));
}

TEST(StatusLabelText, SystemColourFollowsThePalette) {
    CStatusLabel label;
    label.resize(20, 10);
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, QColor(10, 20, 30));
    label.setPalette(palette);
    EXPECT_EQ(Pixel(Grab(label), 5, 5), QColor(10, 20, 30));
    label.SetBackground(QColor(200, 100, 0));
    EXPECT_EQ(Pixel(Grab(label), 5, 5), QColor(200, 100, 0));
}

// --- Flashing ---------------------------------------------------------------

TEST(StatusLabelFlash, TextBlinksBetweenItsColourAndBlackWithoutBackground) {
    FlashableLabel label;
    Prepare(label, 120, 40);
    Configure(label, "STOP");
    label.SetTextColor(Qt::red).FlashText(true);
    EXPECT_TRUE(label.IsFlashing());

    const QImage off = Grab(label);
    EXPECT_FALSE(HasPixel(off, Reddish));
    EXPECT_TRUE(HasPixel(off, Dark));
    label.OnTimer();
    const QImage on = Grab(label);
    EXPECT_TRUE(HasPixel(on, Reddish));
    label.OnTimer();
    EXPECT_EQ(Grab(label), off);

    label.FlashText(false);
    EXPECT_FALSE(label.IsFlashing());
    EXPECT_EQ(Grab(label), on);
}

TEST(StatusLabelFlash, TextTakesTheBackgroundColourInItsOffPhase) {
    FlashableLabel label;
    Prepare(label, 120, 40);
    Configure(label, "STOP");
    label.SetBackground(Qt::green).SetTextColor(Qt::red).FlashText(true);
    EXPECT_EQ(InkBox(Grab(label), Qt::green), QRect());
    label.OnTimer();
    EXPECT_TRUE(HasPixel(Grab(label), Reddish));

    // Stopping a background flash while the text is off shows the text again.
    label.OnTimer();
    label.FlashBackground(true);
    label.FlashBackground(false);
    EXPECT_FALSE(label.IsFlashing());
    EXPECT_TRUE(HasPixel(Grab(label), Reddish));
}

// --- Setters and links ------------------------------------------------------

TEST(StatusLabelSetters, ALabelInATemplateControlsPlaceTakesThatControlsFont) {
    ui::DialogTemplate t;
    t.fontFace = "DejaVu Sans";
    t.fontPointSize = 8;
    t.controls = {ui::Row(100, ui::ControlKind::Static, "X", 4, 4, 40, 10)};
    // An application font far from the dialog's shows which one the label took.
    const QFont application = QApplication::font();
    QFont big("DejaVu Serif");
    big.setPointSize(30);
    QApplication::setFont(big);
    ui::Dialog dialog(t);
    auto* label = dialog.ReplaceControl<CStatusLabel>(100, nullptr, 100);
    QApplication::setFont(application);
    EXPECT_EQ(label->GetLogFont().height, -qRound(8 * label->logicalDpiY() / 72.0));
    EXPECT_EQ(label->GetLogFont().faceName, "DejaVu Sans");
    EXPECT_EQ(label->DrawFont().pixelSize(), -label->GetLogFont().height);
}

TEST(StatusLabelSetters, ChainEditTheLogicalFont) {
    CStatusLabel label;
    CStatusLabel& same = label.SetFaceName("DejaVu Serif", 1)
                             .SetPointSize(20)
                             .SetBold(true)
                             .SetItalic(true)
                             .SetUnderline(true)
                             .SetTextColor(Qt::blue)
                             .Set3DText(true, 1);
    EXPECT_EQ(&same, &label);
    const auto& font = label.GetLogFont();
    EXPECT_EQ(font.faceName, "DejaVu Serif");
    EXPECT_EQ(font.charSet, 1);
    EXPECT_EQ(font.height, -qRound(20 * label.logicalDpiY() / 72.0));
    EXPECT_EQ(font.width, 0);
    EXPECT_EQ(font.weight, 700);
    EXPECT_TRUE(font.italic);
    EXPECT_TRUE(font.underline);
    EXPECT_EQ(label.DrawFont().pixelSize(), -font.height);
    EXPECT_TRUE(label.DrawFont().bold());
    EXPECT_TRUE(label.DrawFont().italic());
    EXPECT_EQ(label.TextColor(), QColor(Qt::blue));

    label.SetBold(false).SetItalic(false).SetUnderline(false);
    EXPECT_EQ(label.GetLogFont().weight, 400);
    EXPECT_FALSE(label.DrawFont().italic());

    CStatusLabel::LogFont replaced;
    replaced.height = -30;
    replaced.weight = 700;
    replaced.strikeOut = true;
    replaced.faceName = "DejaVu Sans";
    label.SetLogFont(replaced);
    EXPECT_EQ(label.GetLogFont(), replaced);
    EXPECT_EQ(label.DrawFont().pixelSize(), 30);
    EXPECT_TRUE(label.DrawFont().strikeOut());

    // A positive height is the whole cell, so the characters come out smaller.
    replaced.height = 30;
    label.SetLogFont(replaced);
    EXPECT_LT(label.DrawFont().pixelSize(), 30);
    EXPECT_LE(QFontMetrics(label.DrawFont()).height(), 31);
}

class StatusLabelLinks : public ::testing::Test {
protected:
    void SetUp() override {
        CStatusLabel::SetUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        label.resize(200, 30);
        label.SetText("https://example.com/tarnwick");
    }
    void TearDown() override { CStatusLabel::SetUrlOpener({}); }
    void Click() { QTest::mouseClick(&label, Qt::LeftButton); }

    std::vector<QUrl> opened;
    CStatusLabel label{nullptr, 1146};
};

TEST_F(StatusLabelLinks, WebAndMailLinksOpenWithTheDesktopHandler) {
    label.SetLink(true);
    Click();
    label.SetLinkAddress("https://example.org/manual");
    Click();
    QTest::mouseClick(&label, Qt::RightButton);
    label.SetText("operator@example.com").SetMailLink(true);
    Click();
    const std::vector<QUrl> expected{QUrl("https://example.com/tarnwick"),
                                     QUrl("https://example.org/manual"),
                                     QUrl("mailto:operator@example.com")};
    EXPECT_EQ(opened, expected);
}

TEST_F(StatusLabelLinks, NotifyParentSignalsAndNoLinkOpensNothing) {
    QSignalSpy spy(&label, &CStatusLabel::notified);
    label.SetLink(true, true);
    Click();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1146);

    // Without a link the click belongs to what lies below.
    label.SetLink(false);
    EXPECT_TRUE(label.testAttribute(Qt::WA_TransparentForMouseEvents));
    Click();
    label.SetText("").SetLink(true);
    Click();
    EXPECT_TRUE(opened.empty());
}
// --- Screenshot -------------------------------------------------------------

TEST(StatusLabelScreenshot, ConfiguredLabelsForAPersonToLookAt) {
    QWidget panel;
    panel.resize(420, 250);
    const CStatusLabel::Style centred{CStatusLabel::Align::Centre, true};
    const auto add = [&panel](const QRect& geometry, const QString& text,
                              CStatusLabel::Style style) {
        auto* label = new CStatusLabel(&panel, 0, style);
        label->setGeometry(geometry);
        label->SetFaceName("ariel", 0).SetText(text);
        return label;
    };
    // The position display: raised axis letters, plain values, the spindle.
    add({10, 10, 60, 60}, "X", centred)
        ->SetPointSize(35)
        .SetBold(true)
        .SetTextColor(Qt::black)
        .Set3DText(true, 1)
        .Set3DColor(QColor(255, 0, 0));
    add({80, 10, 200, 60}, "12.345", centred)
        ->SetPointSize(35)
        .SetBold(true)
        .SetTextColor(Qt::black);
    add({10, 80, 60, 60}, "A", centred)
        ->SetPointSize(35)
        .SetBold(true)
        .SetTextColor(Qt::black)
        .Set3DText(true, 1)
        .Set3DColor(QColor(50, 200, 200));
    add({290, 10, 120, 30}, "RPM", centred)
        ->SetPointSize(20)
        .SetBold(true)
        .SetTextColor(QColor(255, 0, 0))
        .Set3DText(true, 1)
        .Set3DColor(Qt::black);
    add({290, 45, 120, 35}, "12000", centred)
        ->SetPointSize(20)
        .SetBold(true)
        .SetTextColor(Qt::black)
        .Set3DText(true, 1)
        .Set3DColor(Qt::black)
        .SetSunken(true);
    // A gradient behind two lines of text, and a rotated caption.
    add({80, 80, 200, 60}, "Machine is\r\nin View mode", centred)
        ->SetPointSize(10)
        .SetBold(true)
        .SetTextColor(Qt::white)
        .SetBackground(QColor(0, 0, 128), QColor(0, 200, 255), true)
        .SetBorder(true);
    add({290, 90, 120, 150}, "Rotated", centred)->SetPointSize(14).SetRotation(60, true);
    // The status line, transparent over a gradient drawn by its own label.
    add({10, 150, 270, 40}, "", centred)
        ->SetBackground(QColor(255, 255, 0), QColor(255, 255, 255), true);
    add({10, 150, 270, 40}, "Transparent over a gradient", centred)
        ->SetPointSize(10)
        .SetBold(true)
        .SetTextColor(QColor(255, 0, 0))
        .SetTransparent(true);
    add({10, 200, 270, 40}, "Right aligned", {CStatusLabel::Align::Right, false})
        ->SetPointSize(10)
        .SetItalic(true)
        .SetUnderline(true)
        .SetBackground(QColor(220, 220, 220));

    const QImage shot = Grab(panel);
    const QString path = QString::fromStdString(::testing::TempDir()) + "status_labels.png";
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    std::cout << "screenshot: " << path.toStdString() << std::endl;
}
