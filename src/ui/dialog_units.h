#pragma once
// Dialog units: a quarter of the dialog font's average character width
// horizontally and an eighth of its character height vertically, so a layout
// keeps its proportions with whatever font the dialog gets.
#include <QRect>
#include <QSize>

class QFont;

namespace ui {

class DialogUnits {
public:
    // Base units measured from the font the way the home platform measures
    // them: the average width of the 52 letters, rounded, and the line height.
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseWidth, int baseHeight);

    int BaseWidth() const { return m_baseWidth; }
    int BaseHeight() const { return m_baseHeight; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    // Each of position and size converts on its own, rounded to the nearest pixel.
    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(const QSize& units) const;

private:
    int m_baseWidth;
    int m_baseHeight;
};

}  // namespace ui
