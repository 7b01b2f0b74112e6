// The benchmark's baseline: a bare Qt program that creates the same 127
// widgets as the console window (same classes, parents, places and texts)
// and nothing else — no font, icon, tab order, control object or handlers.
#include "app/ControlTable.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <map>
#include <string_view>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    std::map<std::string_view, QWidget*> containers{{app::window.name, &window}};
    for (const auto& c : app::controls) {
        QWidget* parent = containers.at(c.container);
        const QString text = QString::fromUtf8(c.caption.data(), static_cast<qsizetype>(c.caption.size()));
        QWidget* w = nullptr;
        switch (c.kind) {
        case app::Kind::CommandButton: w = new QPushButton(text, parent); break;
        case app::Kind::Label: w = new QLabel(text, parent); break;
        case app::Kind::TextBox: w = new QLineEdit(text, parent); break;
        case app::Kind::OptionButton: w = new QRadioButton(text, parent); break;
        case app::Kind::Frame:
            w = new QGroupBox(text, parent);
            containers[c.name] = w;
            break;
        case app::Kind::LineDisplay: continue;
        }
        w->setGeometry(c.left / 15, c.top / 15, c.width / 15, c.height / 15);
    }
    window.setFixedSize(app::window.clientWidth / 15, app::window.clientHeight / 15);
    window.show();
    return application.exec();
}
