#include "pages/status_label.h"

#include <qdrawutil.h>

#include <QDesktopServices>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {

constexpr int kMaxGradientBands = 100;
constexpr int kWeightNormal = 400;
constexpr int kWeightBold = 700;

CStatusLabel::UrlOpener& UrlOpenerSlot() {
    static CStatusLabel::UrlOpener opener;
    return opener;
}

bool OpenUrl(const QUrl& url) {
    if (!url.isValid() || url.isEmpty()) return false;
    const auto& opener = UrlOpenerSlot();
    // The desktop's handler starts the program for the scheme directly; a link
    // is never handed to a shell.
    return opener ? opener(url) : QDesktopServices::openUrl(url);
}

// Drawn text breaks lines at "\r\n", a lone "\r" or "\n", as the labels' texts
// come from code written for CR-LF line ends.
QString WithLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

CStatusLabel::CStatusLabel(QWidget* parent, int controlId, Style style)
    : QWidget(parent),
      m_controlId(controlId),
      m_style(style),
      m_textColor(palette().color(QPalette::WindowText)),
      m_systemColor(palette().color(QPalette::Window)),
      m_logFont(LogFontFrom(font(), logicalDpiY())),
      m_font(FontFrom(m_logFont)) {
    m_flashTimer.setInterval(kFlashIntervalMs);
    connect(&m_flashTimer, &QTimer::timeout, this, &CStatusLabel::OnTimer);
    // The label fills every pixel itself unless it is transparent.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    // Without a link a click goes to whatever lies below, as for plain text.
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
}

void CStatusLabel::SetUrlOpener(UrlOpener opener) { UrlOpenerSlot() = std::move(opener); }

CStatusLabel& CStatusLabel::Redraw() {
    // Chained setters coalesce into one paint. The parent's area under a
    // transparent label is repainted with it, as the label is not opaque then.
    update();
    return *this;
}

CStatusLabel& CStatusLabel::RebuildFont() {
    m_font = FontFrom(m_logFont);
    return Redraw();
}

CStatusLabel& CStatusLabel::SetBackground(const QColor& colour, const QColor& endColour,
                                          bool gradient) {
    m_backgroundColor = colour;
    m_gradientEnd = endColour;
    m_gradient = gradient;
    m_backgroundBrush.reset();
    if (!gradient) m_backgroundBrush = colour;
    return Redraw();
}

CStatusLabel& CStatusLabel::SetTextColor(const QColor& colour) {
    m_textColor = colour;
    return Redraw();
}

CStatusLabel& CStatusLabel::SetText(const QString& text) {
    m_text = text;
    return Redraw();
}

CStatusLabel& CStatusLabel::SetBold(bool bold) {
    m_logFont.weight = bold ? kWeightBold : kWeightNormal;
    return RebuildFont();
}

CStatusLabel& CStatusLabel::SetFaceName(const QString& faceName, std::uint8_t charSet) {
    m_logFont.faceName = faceName;
    m_logFont.charSet = charSet;
    return RebuildFont();
}

CStatusLabel& CStatusLabel::SetUnderline(bool underline) {
    m_logFont.underline = underline;
    return RebuildFont();
}

CStatusLabel& CStatusLabel::SetItalic(bool italic) {
    m_logFont.italic = italic;
    return RebuildFont();
}

CStatusLabel& CStatusLabel::SetPointSize(int points) {
    // A point font of that size on this screen: its character height in pixels,
    // and the face's own width.
    m_logFont.height = -qRound(points * logicalDpiY() / 72.0);
    m_logFont.width = 0;
    return RebuildFont();
}

void CStatusLabel::UpdateMargins() {
    const int frame = (m_border ? 1 : 0) + (m_sunken ? 1 : 0);
    setContentsMargins(frame, frame, frame, frame);
}

CStatusLabel& CStatusLabel::SetSunken(bool sunken) {
    m_sunken = sunken;
    UpdateMargins();
    return Redraw();
}

CStatusLabel& CStatusLabel::SetBorder(bool border) {
    m_border = border;
    UpdateMargins();
    return Redraw();
}

CStatusLabel& CStatusLabel::SetTransparent(bool transparent) {
    m_transparent = transparent;
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent);
    return Redraw();
}

CStatusLabel& CStatusLabel::StartFlash(bool flash, FlashMode mode) {
    m_flashTimer.stop();
    // Stopping either kind of flash shows the label steadily again; a text left
    // in its off phase would otherwise stay invisible.
    m_flashMode = FlashMode::None;
    if (flash) {
        m_flashPhase = 0;
        m_flashTimer.start();
        m_flashMode = mode;
    }
    return Redraw();
}

CStatusLabel& CStatusLabel::FlashText(bool flash) { return StartFlash(flash, FlashMode::Text); }

CStatusLabel& CStatusLabel::FlashBackground(bool flash) {
    return StartFlash(flash, FlashMode::Background);
}

CStatusLabel& CStatusLabel::SetLinkType(LinkType type, bool notifyParent) {
    m_linkType = type;
    m_notifyParent = notifyParent;
    setAttribute(Qt::WA_TransparentForMouseEvents, type == LinkType::None);
    return Redraw();
}

CStatusLabel& CStatusLabel::SetLink(bool link, bool notifyParent) {
    return SetLinkType(link ? LinkType::Web : LinkType::None, notifyParent);
}

CStatusLabel& CStatusLabel::SetMailLink(bool link, bool notifyParent) {
    return SetLinkType(link ? LinkType::Mail : LinkType::None, notifyParent);
}

CStatusLabel& CStatusLabel::SetLinkCursor(std::optional<QCursor> cursor) {
    m_linkCursor = std::move(cursor);
    if (m_linkCursor)
        setCursor(*m_linkCursor);
    else
        unsetCursor();
    return Redraw();
}

CStatusLabel& CStatusLabel::SetLinkAddress(const QString& address) {
    m_linkAddress = address;
    return Redraw();
}

CStatusLabel& CStatusLabel::Set3DText(bool on, int direction) {
    m_3dText = on;
    m_3dDirection = direction;
    return Redraw();
}

CStatusLabel& CStatusLabel::Set3DColor(const QColor& colour) {
    m_3dColor = colour;
    return Redraw();
}

CStatusLabel& CStatusLabel::SetRotation(int degrees, bool rotated) {
    m_logFont.escapement = degrees * 10;
    m_logFont.orientation = degrees * 10;
    m_rotated = rotated;
    return RebuildFont();
}

CStatusLabel& CStatusLabel::SetLogFont(const LogFont& font) {
    m_logFont = font;
    return RebuildFont();
}

void CStatusLabel::OnTimer() {
    m_flashPhase = m_flashPhase == 0 ? 1 : 0;
    Redraw();
}

CStatusLabel::LogFont CStatusLabel::LogFontFrom(const QFont& font, int dpiY) {
    LogFont logFont;
    const int pixels =
        font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * dpiY / 72.0);
    logFont.height = -pixels;
    logFont.weight = font.weight();
    logFont.italic = font.italic();
    logFont.underline = font.underline();
    logFont.strikeOut = font.strikeOut();
    logFont.faceName = font.family();
    return logFont;
}

QFont CStatusLabel::FontFrom(const LogFont& logFont) {
    QFont font;
    if (!logFont.faceName.isEmpty()) font.setFamily(logFont.faceName);
    if (logFont.height < 0) {
        font.setPixelSize(-logFont.height);
    } else if (logFont.height > 0) {
        // A positive height is the whole cell, leading included: scale the
        // character height until the cell fits.
        font.setPixelSize(logFont.height);
        const int cell = QFontMetrics(font).height();
        if (cell > 0) font.setPixelSize(std::max(1, logFont.height * logFont.height / cell));
    }
    if (logFont.weight > 0) font.setWeight(QFont::Weight(std::clamp(logFont.weight, 1, 1000)));
    font.setItalic(logFont.italic);
    font.setUnderline(logFont.underline);
    font.setStrikeOut(logFont.strikeOut);
    if (logFont.width > 0) {
        const int natural = QFontMetrics(font).averageCharWidth();
        if (natural > 0)
            font.setStretch(std::clamp(qRound(100.0 * logFont.width / natural), 1, 4000));
    }
    return font;
}

void CStatusLabel::FillGradient(QPainter& painter, const QRect& rect, const QColor& left,
                                const QColor& right) {
    const int width = rect.width();
    if (width <= 0) return;
    const int bands = std::min(width, kMaxGradientBands);
    const int bandWidth = width / bands;

    // Each channel in fixed point with 8 fractional bits; a band takes the
    // integer part.
    struct Channel {
        int value;
        int step;
    };
    const auto channel = [bands](int from, int to) {
        return Channel{from * 256, ((to - from) * 256) / bands};
    };
    Channel red = channel(left.red(), right.red());
    Channel green = channel(left.green(), right.green());
    Channel blue = channel(left.blue(), right.blue());

    for (int band = 0; band < bands; ++band) {
        const int x = rect.left() + band * bandWidth;
        const int end = band == bands - 1 ? rect.left() + width : x + bandWidth;
        painter.fillRect(QRect(x, rect.top(), end - x, rect.height()),
                         QColor(red.value >> 8, green.value >> 8, blue.value >> 8));
        for (Channel* c : {&red, &green, &blue}) c->value += c->step;
    }
}

int CStatusLabel::TextFlags() const {
    int flags = Qt::AlignTop;
    switch (m_style.align) {
        case Align::Centre:
            flags |= Qt::AlignHCenter | Qt::TextWordWrap;
            break;
        case Align::Right:
            flags |= Qt::AlignRight | Qt::TextWordWrap;
            break;
        case Align::LeftNoWrap:
            flags |= Qt::AlignLeft;
            break;
        case Align::Left:
            flags |= Qt::AlignLeft | Qt::TextWordWrap;
            break;
    }
    if (m_text.contains(QLatin1Char('\t'))) flags |= Qt::TextExpandTabs;
    if (m_style.centreImage && !m_text.contains(QStringLiteral("\r\n")))
        flags =
            (flags & ~(Qt::AlignTop | Qt::TextWordWrap)) | Qt::AlignVCenter | Qt::TextSingleLine;
    return flags;
}

void CStatusLabel::PaintFrame(QPainter& painter) const {
    QRect outer = rect();
    if (m_border) {
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawRect(outer.adjusted(0, 0, -1, -1));
        outer.adjust(1, 1, -1, -1);
    }
    if (m_sunken) qDrawShadePanel(&painter, outer, palette(), true, 1);
}

void CStatusLabel::PaintBackground(QPainter& painter, const QRect& rect) const {
    // A flashing background shows the system colour in its off phase.
    if (m_flashMode == FlashMode::Background && m_flashPhase == 0)
        painter.fillRect(rect, m_systemColor);
    else if (m_gradient)
        FillGradient(painter, rect, m_backgroundColor, m_gradientEnd);
    else
        painter.fillRect(rect, m_backgroundBrush.value_or(m_systemColor));
}

void CStatusLabel::PaintText(QPainter& painter, const QRect& rect) const {
    QColor colour = m_textColor;
    if (m_flashMode == FlashMode::Text && m_flashPhase == 0)
        colour = m_backgroundBrush.value_or(QColor(Qt::black));
    painter.setFont(m_font);
    painter.setPen(colour);

    if (m_rotated) {
        // One line centred on its baseline at the middle of the label, turned
        // counter-clockwise by the font's escapement.
        painter.save();
        painter.translate(rect.left() + rect.width() / 2, rect.top() + rect.height() / 2);
        painter.rotate(-m_logFont.escapement / 10.0);
        const int advance = QFontMetrics(m_font).horizontalAdvance(m_text);
        painter.drawText(QPointF(-advance / 2.0, 0), m_text);
        painter.restore();
        return;
    }

    const int flags = TextFlags();
    const QString text = WithLineBreaks(m_text);
    painter.drawText(rect, flags, text);
    if (m_3dText) {
        painter.setPen(m_3dColor);
        const int offset = m_3dDirection != 0 ? 1 : -1;
        painter.drawText(rect.translated(offset, offset), flags, text);
    }
}

void CStatusLabel::paintEvent(QPaintEvent*) {
    // Qt's backing store already composes the paint off screen and shows it in
    // one go, so there is no flicker to avoid with a bitmap of our own.
    QPainter painter(this);
    PaintFrame(painter);
    const QRect client = contentsRect();
    painter.setClipRect(client);
    if (!m_transparent) PaintBackground(painter, client);
    PaintText(painter, client);
}

void CStatusLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || (!m_notifyParent && m_linkType == LinkType::None)) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (m_notifyParent)
        emit notified(m_controlId);
    else if (m_linkType == LinkType::Web)
        OpenUrl(QUrl::fromUserInput(m_linkAddress.isEmpty() ? m_text : m_linkAddress));
    else
        OpenUrl(QUrl(QStringLiteral("mailto:") + m_text));
    event->accept();
}

void CStatusLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        m_systemColor = palette().color(QPalette::Window);
        Redraw();
    }
    // Put in a dialog control's place, the label takes that control's font,
    // as the setters that follow edit it.
    if (event->type() == QEvent::FontChange) {
        m_logFont = LogFontFrom(font(), logicalDpiY());
        RebuildFont();
    }
    QWidget::changeEvent(event);
}
