#include "ui/dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <cmath>

namespace ui {

namespace {

// a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

int AverageCharWidth(const QFontMetrics& metrics) {
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (width / 26 + 1) / 2;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
    : DialogUnits(AverageCharWidth(QFontMetrics(font)), QFontMetrics(font).height()) {}

DialogUnits::DialogUnits(int baseWidth, int baseHeight)
    : m_baseWidth(baseWidth), m_baseHeight(baseHeight) {}

int DialogUnits::ToPixelsX(int units) const { return MulDiv(units, m_baseWidth, 4); }

int DialogUnits::ToPixelsY(int units) const { return MulDiv(units, m_baseHeight, 8); }

QRect DialogUnits::ToPixels(const QRect& units) const {
    return QRect(ToPixelsX(units.x()), ToPixelsY(units.y()), ToPixelsX(units.width()),
                 ToPixelsY(units.height()));
}

QSize DialogUnits::ToPixels(const QSize& units) const {
    return QSize(ToPixelsX(units.width()), ToPixelsY(units.height()));
}

}  // namespace ui
