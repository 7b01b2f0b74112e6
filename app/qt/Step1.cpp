#include "app/qt/Step1.h"

#include "app/Console.h"
#include "app/qt/AppIcon.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

namespace app::qt {
namespace {

// A push button whose caption wraps onto more lines when it is wider than
// the button, as the taller buttons ("Marquee Repeat Wait") are laid out
// for. QPushButton itself never wraps; text() stays the caption unchanged.
class CaptionButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();  // the bevel and focus frame without the label
        painter.drawControl(QStyle::CE_PushButton, option);
        QRect box = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        if (isDown())
            box.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, caption);
    }
};

// A frame drawn as an etched rectangle whose top line runs through the middle
// of its caption, so that the controls placed just under the caption (at the
// layout's usual 240 twips) sit inside the box rather than across its edge.
class FrameBox final : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QString caption = title();
        const int top = caption.isEmpty() ? 0 : metrics.height() / 2;
        const QRect box = rect().adjusted(0, top, -1, -1);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(box.adjusted(1, 1, 0, 0));
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        if (!caption.isEmpty()) {
            const QRect textBox(6, 0, metrics.horizontalAdvance(caption) + 4, metrics.height());
            painter.fillRect(textBox, palette().color(QPalette::Window));
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(textBox, Qt::AlignCenter | Qt::TextSingleLine, caption);
        }
    }
};

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void showErrorBox(QWidget& window, const QString& line) {
    QMessageBox::critical(&window, QApplication::applicationName(), line);
}

QFont windowFont() {
    // A small sans-serif face, as the layout's captions were sized for an
    // 8-point dialog font; the first family present on the machine is used.
    // Families are tried in order and a missing one costs a font-matching
    // pass at start-up, so the commonest one on Linux desktops comes first.
    QFont font;
    font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
        QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

Step1::Step1(std::unique_ptr<display::OPOSLineDisplay> control, ErrorReporter reporter, QWidget* parent)
    : QWidget(parent), control_(std::move(control)), reporter_(std::move(reporter)) {
    setObjectName(qText(app::window.name));
    setWindowTitle(qText(app::window.title));
    setWindowIcon(applicationIcon());
    // System menu and close box only: no minimise or maximise box, and a
    // fixed border on platforms that draw one.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(windowFont());

    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    const auto px = [dpi](int twips) { return twipsToPixels(twips, dpi); };
    const auto rect = [dpi](const Control& c) {
        const PixelRect r = pixelRect(c, dpi);
        return QRect(r.x, r.y, r.width, r.height);
    };

    std::vector<QWidget*> frames;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& c = controls[i];
        QWidget* container = this;
        if (c.container != app::window.name) container = widget(c.container);
        const QString caption = qText(c.caption);
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::CommandButton: {
            auto* button = new CaptionButton(caption, container);
            button->setAutoDefault(false);
            const std::string name(c.name);
            connect(button, &QPushButton::clicked, this, [this, name] { clickButton(name); });
            w = button;
            break;
        }
        case Kind::Label: {
            auto* label = new QLabel(caption, container);
            // Plain text in a fixed one-line box: results are shown as they
            // come (never as markup) and clipped where they do not fit.
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(false);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
            break;
        }
        case Kind::TextBox: {
            auto* edit = new QLineEdit(caption, container);
            edit->setMaxLength(std::numeric_limits<int>::max());
            edit->setCursorPosition(0);
            w = edit;
            break;
        }
        case Kind::OptionButton: {
            // Auto-exclusive among siblings: one group per container.
            auto* option = new QRadioButton(caption, container);
            option->setChecked(c.selected);
            w = option;
            break;
        }
        case Kind::Frame: {
            auto* frame = new FrameBox(caption, container);
            // Opaque, so that a frame hides what lies under it (Label36).
            frame->setAutoFillBackground(true);
            frame->setFocusPolicy(Qt::NoFocus);
            frames.push_back(frame);
            w = frame;
            break;
        }
        case Kind::LineDisplay: continue;  // the control instance has no widget
        }
        w->setObjectName(qText(c.name));
        w->setGeometry(rect(c));
        widgets_[i] = w;
    }
    for (QWidget* frame : frames) frame->raise();

    // Tab order by rising tab index over the controls that take the focus.
    const std::vector<const Control*> order = focusOrder();
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(widget(order[i - 1]->name), widget(order[i]->name));

    const int clientWidth = px(app::window.clientWidth), clientHeight = px(app::window.clientHeight);
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    setFixedSize(clientWidth, clientHeight);
    setGeometry(QRect(origin + QPoint(px(app::window.startLeft), px(app::window.startTop)),
        QSize(clientWidth, clientHeight)));
    widget("cmdExit")->setFocus(Qt::OtherFocusReason);
}

Step1::~Step1() = default;

QWidget* Step1::widget(std::string_view name) const {
    const Control* row = findControl(name);
    return row ? widgets_[static_cast<std::size_t>(row - controls.data())] : nullptr;
}

QWidget* Step1::widgetOf(std::string_view name, Kind kind) const {
    const Control* row = findControl(name);
    if (!row || row->kind != kind)
        throw commands::FormError(
            "the window has no " + std::string(kindName(kind)) + " named " + std::string(name));
    return widgets_[static_cast<std::size_t>(row - controls.data())];
}

std::u16string Step1::text(std::string_view textBox) {
    return static_cast<QLineEdit*>(widgetOf(textBox, Kind::TextBox))->text().toStdU16String();
}

bool Step1::isSelected(std::string_view optionButton) {
    return static_cast<QRadioButton*>(widgetOf(optionButton, Kind::OptionButton))->isChecked();
}

std::u16string Step1::caption(std::string_view optionButton) {
    return static_cast<QRadioButton*>(widgetOf(optionButton, Kind::OptionButton))->text().toStdU16String();
}

void Step1::setCaption(std::string_view label, std::u16string_view caption) {
    static_cast<QLabel*>(widgetOf(label, Kind::Label))
        ->setText(QString::fromUtf16(caption.data(), static_cast<qsizetype>(caption.size())));
}

void Step1::clickButton(std::string_view button) {
    // The program's one default handling of unhandled errors: whatever a
    // handler throws ends that click there, is reported, and the window goes on.
    if (const auto line = runClick(button, *this, *control_)) {
        std::cerr << *line << std::endl;
        if (reporter_) reporter_(*this, QString::fromStdString(*line));
    }
}

}  // namespace app::qt
