// The real console window, offscreen: built from the control table, with the
// built-in Line Display control behind it (or, where a test must see every
// call, the recording control at the dispatch seam).
#include "app/qt/Step1.h"
#include "app/Console.h"
#include "app/ControlTable.h"
#include "commands/Commands.h"
#include "display/OPOSLineDisplay.h"
#include "support/RealConsole.h"
#include "support/RecordingControl.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::unique_ptr<display::OPOSLineDisplay> builtInControl() {
    return std::make_unique<display::OPOSLineDisplay>(testsupport::builtInControl());
}

// Hands every call on to a recorder that outlives the window, so that the
// window's destruction can be watched too.
class Forwarding final : public display::Dispatch {
public:
    explicit Forwarding(testsupport::RecordingControl& to) : to_(to) {}
    display::Variant invoke(
        display::DispId id, unsigned flags, std::span<const display::Variant> args) override {
        return to_.invoke(id, flags, args);
    }

private:
    testsupport::RecordingControl& to_;
};

}  // namespace

class Step1Test : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<app::qt::Step1> window_;
    QStringList reported_;

    template <class W = QWidget>
    W* get(std::string_view name) {
        auto* w = qobject_cast<W*>(window_->widget(name));
        if (!w) qFatal("no widget %s of the wanted class", std::string(name).c_str());
        return w;
    }
    QString labelText(std::string_view name) { return get<QLabel>(name)->text(); }
    void click(std::string_view button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }

    void showWindow() {
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

private slots:
    void init() {
        reported_.clear();
        window_ = std::make_unique<app::qt::Step1>(
            builtInControl(), [this](QWidget&, const QString& line) { reported_ << line; });
    }
    void cleanup() { window_.reset(); }

    void everyControlSitsWhereTheTableSays() {
        const double dpi = window_->screen()->logicalDotsPerInch();
        const auto px = [dpi](int twips) { return app::twipsToPixels(twips, dpi); };
        int widgets = 0;
        for (const auto& c : app::controls) {
            QWidget* w = window_->widget(c.name);
            if (c.kind == app::Kind::LineDisplay) {
                QVERIFY(w == nullptr);
                continue;
            }
            QVERIFY2(w, c.name.data());
            ++widgets;
            const QRect expected(
                px(c.left), px(c.top), px(c.left + c.width) - px(c.left), px(c.top + c.height) - px(c.top));
            QCOMPARE(w->geometry(), expected);
            QCOMPARE(w->objectName(), qs(c.name));
            QCOMPARE(w->parentWidget()->objectName(), qs(c.container));
            QVERIFY(!w->testAttribute(Qt::WA_SetFont));  // every control uses the window's font
            switch (c.kind) {
            case app::Kind::CommandButton: QCOMPARE(get<QPushButton>(c.name)->text(), qs(c.caption)); break;
            case app::Kind::Label: QCOMPARE(get<QLabel>(c.name)->text(), qs(c.caption)); break;
            case app::Kind::TextBox: QCOMPARE(get<QLineEdit>(c.name)->text(), qs(c.caption)); break;
            case app::Kind::OptionButton:
                QCOMPARE(get<QRadioButton>(c.name)->text(), qs(c.caption));
                QCOMPARE(get<QRadioButton>(c.name)->isChecked(), c.selected);
                break;
            case app::Kind::Frame: QCOMPARE(get<QGroupBox>(c.name)->title(), qs(c.caption)); break;
            case app::Kind::LineDisplay: break;
            }
        }
        QCOMPARE(widgets, 127);
        QCOMPARE(window_->findChildren<QPushButton*>().size(), 58);
        QCOMPARE(window_->findChildren<QLabel*>().size(), 43);
        QCOMPARE(window_->findChildren<QLineEdit*>().size(), 11);
        QCOMPARE(window_->findChildren<QRadioButton*>().size(), 10);
        QCOMPARE(window_->findChildren<QGroupBox*>().size(), 5);
        if (dpi == 96.0) {  // the layout's own pixel sizes
            QCOMPARE(window_->size(), QSize(946, 757));
            QCOMPARE(get("Frame3")->geometry(), QRect(528, 8, 409, 737));
            QCOMPARE(get("Command21")->geometry(), QRect(8, 272, 97, 33));
        }
    }

    void windowIsFixedWithTitleCloseBoxAndStartPosition() {
        showWindow();
        QCOMPARE(window_->windowTitle(), QStringLiteral("."));
        const Qt::WindowFlags flags = window_->windowFlags();
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QCOMPARE(window_->minimumSize(), window_->size());
        QCOMPARE(window_->maximumSize(), window_->size());
        const double dpi = window_->screen()->logicalDotsPerInch();
        const QPoint start = window_->screen()->geometry().topLeft() +
                             QPoint(app::twipsToPixels(3045, dpi), app::twipsToPixels(3330, dpi));
        QCOMPARE(window_->geometry().topLeft(), start);
        const QIcon icon = window_->windowIcon();
        QVERIFY(!icon.isNull());
        QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    }

    void focusStartsOnCmdExitAndTabFollowsTheTabIndex() {
        showWindow();
        QCOMPARE(QApplication::focusWidget(), get("cmdExit"));
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            const QString name = QApplication::focusWidget()->objectName();
            if (name == QLatin1String("cmdExit")) break;
            visited << name;
        }
        QVERIFY2(visited.size() > 1 && visited.size() < 200, "Tab never came back to cmdExit");
        QCOMPARE(visited.last(), QStringLiteral("Command57"));
        int previous = -1;
        for (const QString& name : visited) {
            const auto* row = app::findControl(name.toStdString());
            QVERIFY(row);
            QVERIFY2(row->tabIndex > previous, qPrintable(name + " out of tab order"));
            previous = row->tabIndex;
        }
        // Every button and text box takes its turn.
        for (const auto& c : app::controls)
            if (c.kind == app::Kind::CommandButton || c.kind == app::Kind::TextBox)
                QVERIFY2(visited.contains(qs(c.name)), c.name.data());
    }

    void optionButtonsAreExclusiveWithinTheirContainerOnly() {
        showWindow();
        QTest::mouseClick(get("Option1"), Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(get<QRadioButton>("Option1")->isChecked());
        QVERIFY(!get<QRadioButton>("Option2")->isChecked());
        QVERIFY(get<QRadioButton>("Option3")->isChecked());
        QVERIFY(get<QRadioButton>("Option7")->isChecked());
        QTest::mouseClick(get("Option6"), Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(get<QRadioButton>("Option6")->isChecked());
        QVERIFY(!get<QRadioButton>("Option3")->isChecked());
        QVERIFY(get<QRadioButton>("Option7")->isChecked());
        QVERIFY(get<QRadioButton>("Option1")->isChecked());
        QTest::mouseClick(get("Option9"), Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(get<QRadioButton>("Option9")->isChecked());
        QVERIFY(!get<QRadioButton>("Option7")->isChecked());
        QVERIFY(get<QRadioButton>("Option6")->isChecked());
        QVERIFY(window_->isSelected("Option9"));
        QVERIFY(!window_->isSelected("Option7"));
    }

    void label36IsHiddenUnderFrame3() {
        showWindow();
        QWidget* label36 = get("Label36");
        const QRect box = label36->geometry();
        QVERIFY(get("Frame3")->geometry().contains(box));
        QWidget* top = window_->childAt(box.center());
        QVERIFY(top != label36);
        QVERIFY(get("Frame3")->isAncestorOf(top) || top == get("Frame3"));
        // Changing what Label36 shows changes no pixel of the window, while the
        // same change to a visible label does.
        const QImage before = window_->grab(box).toImage();
        get<QLabel>("Label36")->setText(QStringLiteral("WWWWWWWWWWWWWW"));
        QCOMPARE(window_->grab(box).toImage(), before);
        get<QLabel>("Label37")->setText(QString());
        QCOMPARE(window_->grab(box).toImage() == before, false);
    }

    void labelsKeepTheirBoxAndShowTextAsItComes() {
        QLabel* label = get<QLabel>("Label5");
        const QRect box = label->geometry();
        window_->setCaption("Label5", u"a result far wider than the label's box <b>bold</b>");
        QCOMPARE(label->geometry(), box);
        QCOMPARE(label->text(), QStringLiteral("a result far wider than the label's box <b>bold</b>"));
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(!label->wordWrap());
    }

    void formRefusesUnknownNamesAndWrongKinds() {
        QVERIFY_THROWS_EXCEPTION(commands::FormError, window_->setCaption("Label44", u"x"));
        QVERIFY_THROWS_EXCEPTION(commands::FormError, window_->setCaption("Text1", u"x"));
        QVERIFY_THROWS_EXCEPTION(commands::FormError, window_->text("Label1"));
        QVERIFY_THROWS_EXCEPTION(commands::FormError, window_->isSelected("Command2"));
        QVERIFY_THROWS_EXCEPTION(commands::FormError, window_->caption("OPOSLineDisplay1"));
        QCOMPARE(window_->text("Text3"), std::u16string(u"Disp Text At Test"));
        QCOMPARE(window_->caption("Option2"), std::u16string(u"TQN730"));
        get<QLineEdit>("Text4")->setText(QStringLiteral("typed \u00e9"));
        QCOMPARE(window_->text("Text4"), std::u16string(u"typed \u00e9"));
    }

    void openClaimEnableOnTheBuiltInControl() {
        showWindow();
        for (const auto& step : testsupport::firstRoad) {
            click(step.button);
            QCOMPARE(labelText(step.label).toStdU16String(), std::u16string(step.shows));
        }
        click("Command57");  // the default device, TQN730, has per-character reverse
        QCOMPARE(labelText("Label43"), QStringLiteral("2"));
        QVERIFY(reported_.isEmpty());
    }

    void option1OpensTheOtherDevice() {
        showWindow();
        QTest::mouseClick(get("Option1"), Qt::LeftButton, {}, QPoint(5, 8));
        click("Command2");
        QCOMPARE(labelText("Label1"), QStringLiteral("OPOS_SUCCESS"));
        click("Command57");  // DM-D202 has no reverse
        QCOMPARE(labelText("Label43"), QStringLiteral("0"));
        QVERIFY(reported_.isEmpty());
    }

    void aFailingClickIsReportedAndTheWindowGoesOn() {
        showWindow();
        for (const std::string_view button : testsupport::openClaimEnableClicks) click(button);
        QCOMPARE(labelText("Label1"), QStringLiteral("OPOS_SUCCESS"));
        get<QLineEdit>("Text11")->setText(QStringLiteral("abc"));
        window_->setCaption("Label1", u"before");
        click("Command43");
        QCOMPARE(reported_.size(), 1);
        QVERIFY2(reported_[0].startsWith(QStringLiteral("\"Device Brightness\" failed: ")),
            qPrintable(reported_[0]));
        QVERIFY2(reported_[0].contains(QStringLiteral("abc")), qPrintable(reported_[0]));
        QCOMPARE(labelText("Label1"), QStringLiteral("before"));  // the click ended at the conversion
        QVERIFY(window_->isVisible());
        get<QLineEdit>("Text11")->setText(QStringLiteral("50"));
        click("Command43");
        QCOMPARE(reported_.size(), 1);
        QCOMPARE(labelText("Label1"), QStringLiteral("OPOS_SUCCESS"));
    }

    // The typical road from start to text on the display, then every one of
    // the 58 buttons once in a fixed order on the default device, TQN730,
    // with the window's initial inputs; afterwards every label is checked.
    void typicalRoadThenEveryButtonOnce() {
        showWindow();
        click("Command2");
        QCOMPARE(labelText("Label1"), QStringLiteral("OPOS_SUCCESS"));
        click("Command3");
        QCOMPARE(labelText("Label1"), QStringLiteral("OPOS_SUCCESS"));
        click("Command4");
        click("Command7");
        click("Command49");
        QCOMPARE(labelText("Label34"), QStringLiteral("0"));  // DisplayText succeeded

        const std::vector<std::string_view> order{// the road above
            "Command2", "Command3", "Command4", "Command7", "Command49",
            // text output and health
            "Command6", "Command5", "Command20", "Command14", "Command17", "Command18", "Command27",
            // readers, left column then right column
            "Command8", "Command9", "Command12", "Command10", "Command11", "Command13", "Command41",
            "Command40", "Command21", "Command23", "Command24", "Command25", "Command26", "Command28",
            "Command32", "Command34", "Command30", "Command57", "Command35", "Command36", "Command29",
            "Command31", "Command44", "Command42", "Command46", "Command45", "Command47", "Command48",
            "Command50", "Command51", "Command52", "Command54", "Command53", "Command55",
            // writers and toggles, top to bottom
            "Command19", "Command15", "Command22", "Command16", "Command33", "Command37", "Command38",
            "Command39", "Command43", "Command56",
            // and away
            "Command1", "cmdExit"};
        std::set<std::string_view> all;
        for (const auto& b : commands::buttons()) all.insert(b.name);
        QCOMPARE(std::set<std::string_view>(order.begin(), order.end()), all);
        QCOMPARE(order.size(), all.size());
        for (std::size_t i = 5; i < order.size(); ++i) click(order[i]);
        QVERIFY2(reported_.isEmpty(), qPrintable(reported_.join('\n')));

        // Every label after the run. Readers ran while the device was enabled
        // with its values from open (TQN730: 2x20, per-character reverse, no
        // blink, cursor caps block|underline|blink = 74, four windows, Unicode...);
        // the toggles flipped CursorUpdate twice, PowerNotify could not be
        // written while enabled, and the last result shown in Label1 is that
        // of "Device Brightness" writing 0.
        const std::map<std::string_view, QString> expected{
            {"Label1", "OPOS_SUCCESS"},
            {"Label2", "Raw"},
            {"Label3", "Col"},
            {"Label4", "True"},
            {"Label5", "20"},
            {"Label6", "0"},
            {"Label7", "0"},
            {"Label8", "2"},
            {"Label9", "True"},
            {"Label10", "Interactive HCheck: Not supported (a simulated display has no operator dialog)"},
            {"Label11", "0"},
            {"Label12", "997"},
            {"Label13", "2000"},
            {"Label14", "1"},
            {"Label15", "False"},
            {"Label16", "True"},
            {"Label17", "True"},
            {"Label18", "0"},
            {"Label19", "0"},
            {"Label20", "DISABLED"},
            {"Label21", "False"},
            {"Label22", "0"},
            {"Label23", "0"},
            {"Label24", "False"},
            {"Label25", "0"},
            {"Label26", "4"},
            {"Label27", "74"},
            {"Label28", "100"},
            {"Label29", "True"},
            {"Label30", ""},
            {"Label31", "False"},
            {"Label32", "437,850,858,997,998"},
            {"Label33", "True"},
            {"Label34", "0"},
            {"Label35", "0"},
            {"Label36", "Unknown"},
            {"Label37", "False"},
            {"Label38", "2"},
            {"Label39", "0"},
            {"Label40", "0"},
            {"Label41", "4"},
            {"Label42", "True"},
            {"Label43", "2"},
        };
        QCOMPARE(expected.size(), app::countOf(app::Kind::Label));
        for (const auto& [label, text] : expected) {
            if (labelText(label) != text) qWarning("%s", label.data());
            QCOMPARE(labelText(label), text);
        }

        // Released and closed: the device reads as closed.
        click("Command8");
        QCOMPARE(labelText("Label4"), QStringLiteral("False"));
        click("Command52");
        QCOMPARE(labelText("Label38"), QStringLiteral("1"));
    }

    // The program's own reporter: a real message box over the window, closed
    // here by the test once it has read it.
    void theProgramReportsInAMessageBox() {
        app::qt::Step1 window(builtInControl());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QLineEdit*>("Text1")->setText(QStringLiteral("x"));
        QTest::mouseClick(window.widget("Command2"), Qt::LeftButton);
        QTest::mouseClick(window.widget("Command3"), Qt::LeftButton);
        QTest::mouseClick(window.widget("Command4"), Qt::LeftButton);
        QString shown;
        QTimer::singleShot(0, [&shown] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            shown = box->text();
            box->accept();
        });
        QTest::mouseClick(window.widget("Command6"), Qt::LeftButton);  // row "x" fails
        QVERIFY2(shown.startsWith(QStringLiteral("\"Disp Text At\" failed: ")), qPrintable(shown));
        QVERIFY(window.isVisible());
    }

    // Creating and destroying the window, editing a text box and selecting an
    // option make no call on the control; each click makes its own.
    void nothingIsCalledOutsideClicks() {
        testsupport::RecordingControl recorder;
        auto window = std::make_unique<app::qt::Step1>(
            std::make_unique<display::OPOSLineDisplay>(std::make_unique<Forwarding>(recorder)),
            [](QWidget&, const QString&) {});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTest::mouseClick(window->widget("Option1"), Qt::LeftButton, {}, QPoint(5, 8));
        QTest::keyClicks(window->widget("Text4"), "more");
        QVERIFY(recorder.log().empty());
        QTest::mouseClick(window->widget("cmdExit"), Qt::LeftButton);
        QTest::mouseClick(window->widget("cmdExit"), Qt::LeftButton);
        QCOMPARE(recorder.log().size(), std::size_t{2});  // Close, twice; the window stays
        QVERIFY(window->isVisible());
        recorder.clearLog();
        window->close();
        window.reset();
        QVERIFY(recorder.log().empty());
    }
};

QTEST_MAIN(Step1Test)
#include "step1_test.moc"
