// Click benchmark: the time from a button's click to its label holding the
// new text, for a property reader (Columns) on the console window with the
// simulated display open, against a bare button whose handler only sets a
// label's text. Both live in one offscreen process and are clicked in
// alternating batches; each sample is the mean over a batch, the figure the
// median of the samples. Before every click the label is emptied (untimed),
// so the click always writes new text.
//
// Usage: click_bench [samples]   (default 31)
#include "BenchStats.h"
#include "app/qt/Step1.h"
#include "device/LineDisplayControl.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <cstdlib>
#include <memory>

namespace {

constexpr int clicksPerBatch = 2000;

// Mean time of one click until the label holds `expected`, in microseconds.
double batch(QPushButton& button, QLabel& label, const QString& expected) {
    bench::Clock::duration total{};
    for (int i = 0; i < clicksPerBatch; ++i) {
        label.setText(QString());
        const auto start = bench::Clock::now();
        button.click();
        const bool done = label.text() == expected;
        total += bench::Clock::now() - start;
        if (!done) {
            std::fprintf(stderr, "click_bench: the label did not get its text\n");
            std::exit(2);
        }
    }
    return std::chrono::duration<double, std::micro>(total).count() / clicksPerBatch;
}

}  // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    display::ControlFactory factory;
    device::registerBuiltInControl(factory);
    app::qt::Step1 console(
        std::make_unique<display::OPOSLineDisplay>(factory.create(display::lineDisplayProgId)),
        [](QWidget&, const QString& line) {
            std::fprintf(stderr, "click_bench: %s\n", qPrintable(line));
            std::exit(2);
        });
    console.clickButton("Command2");  // Open the selected simulated display
    auto& reader = *static_cast<QPushButton*>(console.widget("Command9"));  // Columns
    auto& readerLabel = *static_cast<QLabel*>(console.widget("Label5"));

    QWidget bare;
    auto& button = *new QPushButton(QStringLiteral("Columns"), &bare);
    auto& label = *new QLabel(&bare);
    QObject::connect(
        &button, &QPushButton::clicked, &label, [&label] { label.setText(QStringLiteral("20")); });

    batch(reader, readerLabel, QStringLiteral("20"));  // warm-up
    batch(button, label, QStringLiteral("20"));
    std::vector<double> consoleUs, bareUs;
    for (int i = 0; i < samples; ++i) {
        if (i % 2) {
            bareUs.push_back(batch(button, label, QStringLiteral("20")));
            consoleUs.push_back(batch(reader, readerLabel, QStringLiteral("20")));
        } else {
            consoleUs.push_back(batch(reader, readerLabel, QStringLiteral("20")));
            bareUs.push_back(batch(button, label, QStringLiteral("20")));
        }
    }
    console.clickButton("cmdExit");
    std::printf(
        "click to label text, offscreen, median of %d batches of %d clicks\n", samples, clicksPerBatch);
    bench::printRatio("click (reader on simulated display)", bench::median(consoleUs), bench::median(bareUs),
        "us", "at most 1.5");
    return 0;
}
