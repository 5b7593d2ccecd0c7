// The yardstick of the footprint benchmark: a Qt window that draws the same
// two Japanese Gothic faces as Telvane's window, and nothing else. Prints the
// wall-clock time (seconds since the epoch) of its first paint on stdout.
#include "qt/widgets/JapaneseFonts.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace {

class TPlainWindow final : public QWidget {
protected:
    void paintEvent(QPaintEvent* event) override {
        QWidget::paintEvent(event);
        if (!Painted_) {
            Painted_ = true;
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("%.6f\n", std::chrono::duration<double>(now).count());
            std::fflush(stdout);
        }
    }

private:
    bool Painted_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TPlainWindow window;
    auto* layout = new QVBoxLayout(&window);
    for (const auto& [text, pixels, bold] :
         {std::tuple{"0312345678", 24, true}, std::tuple{"調査間隔 ポート", 12, false}}) {
        auto* label = new QLabel(QString::fromUtf8(text), &window);
        QFont font(telvane::GothicFamily());
        font.setPixelSize(pixels);
        font.setBold(bold);
        label->setFont(font);
        layout->addWidget(label);
    }
    window.resize(311, 152);
    window.show();
    return app.exec();
}
