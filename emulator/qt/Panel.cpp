#include "emulator/qt/Panel.h"

#include "emulator/qt/Glyphs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace emulator::qt {
namespace {

// In dot pitches: a cell is 5 dots plus a gap of 2, a row 7 dots plus the
// cursor bar and a gap of 4; the glass has a margin of 5 around the text.
constexpr double cellAdvance = 7.0;
constexpr double rowAdvance = 11.0;
constexpr double margin = 5.0;
constexpr int preferredPitch = 6;
constexpr int cellBlinkMs = 500;

const QColor phosphor(110, 255, 215);
const QColor darkDot(22, 46, 42);
const QColor glassTop(10, 20, 19);
const QColor glassBottom(3, 8, 8);

}  // namespace

Panel::Panel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    clock_.start();
    blinkTimer_.setInterval(50);
    connect(&blinkTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void Panel::setScreen(const model::DisplayModel& model, const PanelState& state) {
    model_ = model;
    state_ = state;
    bool blinking = state_.blinkInterval > 0;
    for (int r = 0; r < model_.deviceRows() && !blinking; ++r) {
        for (int c = 0; c < model_.deviceColumns(); ++c) {
            if (model_.shownCell(r, c).attribute & model::attribute::blink) blinking = true;
        }
    }
    // Repaint on a clock only while something blinks.
    if (blinking && !blinkTimer_.isActive()) blinkTimer_.start();
    if (!blinking) blinkTimer_.stop();
    update();
}

QSize Panel::sizeHint() const {
    const double w = (model_.deviceColumns() * cellAdvance - 2 + 2 * margin) * preferredPitch;
    const double h = (model_.deviceRows() * rowAdvance - 4 + 2 * margin) * preferredPitch;
    return {static_cast<int>(w), static_cast<int>(h)};
}

QSize Panel::minimumSizeHint() const { return sizeHint() / 2; }

Panel::Layout Panel::layout() const {
    const double wide = model_.deviceColumns() * cellAdvance - 2 + 2 * margin;
    const double high = model_.deviceRows() * rowAdvance - 4 + 2 * margin;
    const double pitch = std::min(width() / wide, height() / high);
    // Centred in whatever room the widget has.
    const QPointF origin((width() - wide * pitch) / 2 + (margin + 0.5) * pitch,
        (height() - high * pitch) / 2 + (margin + 0.5) * pitch);
    return {pitch, origin};
}

QPointF Panel::dotCentre(const Layout& l, int row, int column, int dotX, int dotY) const {
    return l.origin + QPointF((column * cellAdvance + dotX) * l.pitch, (row * rowAdvance + dotY) * l.pitch);
}

QRect Panel::cellRect(int row, int column) const {
    const Layout l = layout();
    const QPointF topLeft = dotCentre(l, row, column, 0, 0) - QPointF(l.pitch / 2, l.pitch / 2);
    return QRectF(topLeft, QSizeF(5 * l.pitch, 7 * l.pitch)).toAlignedRect();
}

bool Panel::blinkPhaseOn(int periodMs) const { return (clock_.elapsed() / periodMs) % 2 == 0; }

void Panel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const Layout l = layout();

    // The glass: a dark gradient with a faint reflection across its top.
    QLinearGradient glass(0, 0, 0, height());
    glass.setColorAt(0, glassTop);
    glass.setColorAt(1, glassBottom);
    p.fillRect(rect(), glass);
    QLinearGradient sheen(0, 0, 0, height() * 0.45);
    sheen.setColorAt(0, QColor(255, 255, 255, 14));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, width(), height() * 0.45), sheen);

    const bool displayLit =
        state_.displayOn && (state_.blinkInterval == 0 || blinkPhaseOn(state_.blinkInterval * 50));
    const double level = std::clamp(model_.brightness(), 0, 100) / 100.0;
    // Dimmer dots are less intense, not just more transparent: scale the
    // colour toward the dark dot so that 20 % still reads on the glass.
    const auto towardLit = [level](float dark, float bright) {
        return dark + (bright - dark) * static_cast<float>(level);
    };
    auto lit = [&](double alphaScale) {
        QColor c;
        c.setRgbF(towardLit(darkDot.redF(), phosphor.redF()), towardLit(darkDot.greenF(), phosphor.greenF()),
            towardLit(darkDot.blueF(), phosphor.blueF()), static_cast<float>(alphaScale));
        return c;
    };
    const double dotRadius = l.pitch * 0.36;
    const double glowRadius = l.pitch * 1.3;

    const int cursorRow = model_.cursorRow();
    const int cursorColumn = std::min(model_.cursorColumn(), model_.deviceColumns() - 1);
    const bool cursorShown = state_.cursorVisible;  // steady, as most displays draw it

    // Two passes: first the unlit dots and every glow, then the lit dots on
    // top, so that a neighbour's glow never dims a dot.
    QVector<QPointF> litDots;
    QVector<QPointF> carvedDots;  // unlit dots of reversed cells, drawn over the glow
    p.setPen(Qt::NoPen);
    for (int r = 0; r < model_.deviceRows(); ++r) {
        for (int c = 0; c < model_.deviceColumns(); ++c) {
            const model::Cell& cell = model_.shownCell(r, c);
            const bool hidden = (cell.attribute & model::attribute::blink) && !blinkPhaseOn(cellBlinkMs);
            const bool reversed = (cell.attribute & model::attribute::reverse) != 0;
            const Glyph glyph = glyphFor(cell.character, state_);
            for (int x = 0; x < 5; ++x) {
                for (int y = 0; y < 7; ++y) {
                    bool on = (glyph[static_cast<std::size_t>(x)] >> y) & 1;
                    if (reversed) on = !on;
                    if (hidden) on = false;
                    const QPointF centre = dotCentre(l, r, c, x, y);
                    if (on && displayLit) {
                        litDots.push_back(centre);
                    } else if (reversed && displayLit && !hidden) {
                        carvedDots.push_back(centre);
                    } else {
                        p.setBrush(darkDot);
                        p.drawEllipse(centre, dotRadius, dotRadius);
                    }
                }
            }
            if (cursorShown && displayLit && r == cursorRow && c == cursorColumn) {
                for (int x = 0; x < 5; ++x) litDots.push_back(dotCentre(l, r, c, x, 8));
            }
        }
    }
    for (const QPointF& centre : litDots) {
        QRadialGradient glow(centre, glowRadius);
        glow.setColorAt(0, lit(0.45 * level));
        glow.setColorAt(1, lit(0));
        p.setBrush(glow);
        p.drawEllipse(centre, glowRadius, glowRadius);
    }
    p.setBrush(lit(1.0));
    for (const QPointF& centre : litDots) p.drawEllipse(centre, dotRadius, dotRadius);
    // A reversed character is the dark dots among lit ones: the neighbours'
    // glow must not fill them in, or the character is lost.
    p.setBrush(glassBottom);
    for (const QPointF& centre : carvedDots) p.drawEllipse(centre, dotRadius * 1.15, dotRadius * 1.15);
}

}  // namespace emulator::qt
