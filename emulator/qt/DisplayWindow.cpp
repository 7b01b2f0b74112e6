#include "emulator/qt/DisplayWindow.h"

#include "emulator/qt/PanelIcon.h"
#include "model/Hex.h"

#include <QFontDatabase>
#include <QPalette>
#include <QVBoxLayout>

namespace emulator::qt {

DisplayWindow::DisplayWindow(QWidget* parent)
    : QWidget(parent),
      panel_(new Panel(this)),
      line_(new QLabel(this)),
      faults_(new QLabel(this)),
      passed_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Virtual line display"));
    setWindowIcon(virtualDisplayIcon());
    // The panel's housing: dark, with the status line in a quiet grey.
    QPalette housing = palette();
    housing.setColor(QPalette::Window, QColor(18, 20, 20));
    housing.setColor(QPalette::WindowText, QColor(150, 160, 158));
    setPalette(housing);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->setSpacing(4);
    layout->addWidget(panel_, 1);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (QLabel* label : {line_, faults_, passed_}) {
        label->setFont(fixed);
        label->setContentsMargins(8, 0, 8, 0);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }
    faults_->setText(tr("no unknown or malformed sequences"));
    passed_->hide();
}

void DisplayWindow::setLine(
    const QString& terminal, const QString& link, const QString& commandSet, std::int32_t baud) {
    const QString rate = baud > 0 ? tr("%1 baud").arg(baud) : tr("unpaced");
    line_->setText(tr("%1 on %2 (link %3), %4").arg(commandSet, terminal, link, rate));
}

void DisplayWindow::showScreen(const VirtualDisplay& display) {
    panel_->setScreen(display.model(), display.state());
    // What a pass-through set never shows: said, not silently dropped.
    passed_->setVisible(display.passedThroughCount() > 0);
    passed_->setText(QString::fromStdString(display.passedThroughText()));
    if (display.faultCount() == 0) return;
    // The latest first: the one the technician is most likely looking for.
    QStringList last;
    const auto& faults = display.faults();
    for (auto it = faults.rbegin();
         it != faults.rend() && static_cast<std::size_t>(last.size()) < shownFaults; ++it) {
        last << QStringLiteral("%1 (%2)").arg(
            QString::fromStdString(model::hexBytes(it->bytes)), QString::fromStdString(it->reason));
    }
    faults_->setText(tr("%n unknown or malformed, last: ", nullptr, static_cast<int>(display.faultCount())) +
                     last.join(QStringLiteral("; ")));
}

QString DisplayWindow::statusText() const {
    QString text = line_->text() + '\n' + faults_->text();
    if (!passed_->isHidden()) text += '\n' + passed_->text();
    return text;
}

}  // namespace emulator::qt
