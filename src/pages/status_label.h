#pragma once
// CStatusLabel: the program's own drawn text label. It paints itself with its
// own font, colours, a solid, gradient or no background, raised (3-D) text,
// flashing, rotation, and opens a web or mail link when clicked. Every setter
// redraws and returns the label, so settings chain:
//     label.SetPointSize(35).SetBold(true).Set3DText(true, 1).Set3DColor(Qt::red);
// Only the UI thread calls it; other threads post their texts to the UI thread.
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class QPainter;

// How the text sits in a status label, fixed when the label is created.
enum class StatusLabelAlign {
    Left,        // left, words wrapped
    Centre,      // centred, words wrapped
    Right,       // right-aligned, words wrapped
    LeftNoWrap,  // left, one line per line break, no wrapping
};
struct StatusLabelStyle {
    StatusLabelAlign align = StatusLabelAlign::Left;
    // One line, vertically centred, unless the text holds "\r\n".
    bool centreImage = false;
};

class CStatusLabel : public QWidget {
    Q_OBJECT

public:
    using Align = StatusLabelAlign;
    using Style = StatusLabelStyle;

    // The font description that every font setter edits.
    struct LogFont {
        int height = 0;  // pixels; negative: character height, positive: cell height, 0: default
        int width = 0;   // average character width in pixels; 0: the face's own
        int escapement = 0;   // tenths of a degree, counter-clockwise
        int orientation = 0;  // tenths of a degree
        int weight = 0;       // 0 default, 400 normal, 700 bold
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
        std::uint8_t charSet = 0;  // kept for the caller; faces are matched by name
        std::uint8_t outPrecision = 0;
        std::uint8_t clipPrecision = 0;
        std::uint8_t quality = 0;
        std::uint8_t pitchAndFamily = 0;
        QString faceName;

        bool operator==(const LogFont&) const = default;
    };

    enum class LinkType { None = 0, Web = 1, Mail = 2 };

    // Opens a link with the desktop's handler; replaceable so tests can record.
    using UrlOpener = std::function<bool(const QUrl&)>;

    static constexpr int kFlashIntervalMs = 500;

    explicit CStatusLabel(QWidget* parent = nullptr, int controlId = 0, Style style = {});

    CStatusLabel& SetBackground(const QColor& colour, const QColor& endColour = QColor(0, 0, 0),
                                bool gradient = false);
    CStatusLabel& SetTextColor(const QColor& colour);
    CStatusLabel& SetText(const QString& text);
    CStatusLabel& SetBold(bool bold);
    CStatusLabel& SetFaceName(const QString& faceName, std::uint8_t charSet = 0);
    CStatusLabel& SetUnderline(bool underline);
    CStatusLabel& SetItalic(bool italic);
    CStatusLabel& SetPointSize(int points);
    // A one-pixel sunken edge and a one-pixel line around the text area.
    CStatusLabel& SetSunken(bool sunken);
    CStatusLabel& SetBorder(bool border);
    CStatusLabel& SetTransparent(bool transparent);
    CStatusLabel& FlashText(bool flash);
    CStatusLabel& FlashBackground(bool flash);
    // Only a link label takes clicks; with notifyParent a click emits notified()
    // instead of opening the link.
    CStatusLabel& SetLink(bool link, bool notifyParent = false);
    CStatusLabel& SetLinkCursor(std::optional<QCursor> cursor);
    // A second copy in the 3-D colour, one pixel up and left for direction 0,
    // down and right otherwise.
    CStatusLabel& Set3DText(bool on, int direction = 0);
    // Counter-clockwise; a rotated label draws one line centred on its middle.
    CStatusLabel& SetRotation(int degrees, bool rotated = true);
    CStatusLabel& Set3DColor(const QColor& colour);
    CStatusLabel& SetLogFont(const LogFont& font);
    CStatusLabel& SetMailLink(bool link, bool notifyParent = false);
    CStatusLabel& SetLinkAddress(const QString& address);

    const QString& Text() const { return m_text; }
    int ControlId() const { return m_controlId; }
    const Style& TextStyle() const { return m_style; }
    const LogFont& GetLogFont() const { return m_logFont; }
    const QFont& DrawFont() const { return m_font; }
    QColor TextColor() const { return m_textColor; }
    bool IsTransparent() const { return m_transparent; }
    bool IsSunken() const { return m_sunken; }
    bool HasBorder() const { return m_border; }
    bool IsFlashing() const { return m_flashTimer.isActive(); }
    int FlashPhase() const { return m_flashPhase; }
    LinkType GetLinkType() const { return m_linkType; }
    const QString& LinkAddress() const { return m_linkAddress; }

    // An empty opener restores the desktop's handler.
    static void SetUrlOpener(UrlOpener opener);

    // Horizontal gradient in at most 100 bands: band width is width / bands, the
    // last band ends at the right edge, each channel steps in 8-bit fixed point.
    static void FillGradient(QPainter& painter, const QRect& rect, const QColor& left,
                             const QColor& right);

    static LogFont LogFontFrom(const QFont& font, int dpiY);
    static QFont FontFrom(const LogFont& logFont);

signals:
    // A click on a label that notifies its parent instead of opening its link.
    void notified(int controlId);

protected:
    // One flash tick: toggles the phase and redraws.
    void OnTimer();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum class FlashMode { None, Text, Background };

    CStatusLabel& RebuildFont();
    CStatusLabel& Redraw();
    CStatusLabel& StartFlash(bool flash, FlashMode mode);
    CStatusLabel& SetLinkType(LinkType type, bool notifyParent);
    void UpdateMargins();
    void PaintBackground(QPainter& painter, const QRect& rect) const;
    void PaintText(QPainter& painter, const QRect& rect) const;
    void PaintFrame(QPainter& painter) const;
    int TextFlags() const;

    const int m_controlId;
    const Style m_style;
    QString m_text;

    QColor m_textColor;
    QColor m_3dColor{255, 255, 255};
    QColor m_systemColor;  // button face: the background when none is set
    std::optional<QColor> m_backgroundBrush;
    LogFont m_logFont;
    QFont m_font;
    int m_flashPhase = 0;
    QTimer m_flashTimer;
    LinkType m_linkType = LinkType::None;
    bool m_transparent = false;
    bool m_3dText = false;
    bool m_notifyParent = false;
    bool m_rotated = false;
    FlashMode m_flashMode = FlashMode::None;
    std::optional<QCursor> m_linkCursor;
    int m_3dDirection = 0;
    bool m_gradient = false;
    QColor m_gradientEnd{0, 0, 0};
    QColor m_backgroundColor{0, 0, 0};
    QString m_linkAddress;
    bool m_sunken = false;
    bool m_border = false;
};
