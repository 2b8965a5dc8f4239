// A window for the tests of the phone's screen, started as the phone starts
// an application (from the menu or at boot):
//   windowstandin keys FILE   a red window over the whole screen that appends
//                             the text of each key it gets to FILE and closes
//                             on Escape; it never asks for the keys itself
//   windowstandin label       a yellow label of 240 x 20 at (1, 250) that says
//                             it takes no keys (Qt::WindowDoesNotAcceptFocus)
//   windowstandin barelabel   the same at (1, 200) without saying so, as
//                             DayBadge 2.x's bare QLabel
// Each prints "windowstandin: <kind> shown" once it is on the screen.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class StandIn : public QWidget
{
public:
    StandIn(const char* kind, const QString& keyFile) : m_kind(kind), m_keyFile(keyFile)
    {
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, keyFile.isEmpty() ? Qt::yellow : Qt::red);
        setPalette(p);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_told) {
            m_told = true;
            QTimer::singleShot(0, this, [this] {
                std::printf("windowstandin: %s shown\n", m_kind);
                std::fflush(stdout);
            });
        }
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape) {
            close();
            return;
        }
        QFile file(m_keyFile);
        if (!m_keyFile.isEmpty() && file.open(QIODevice::Append))
            file.write(event->text().toUtf8());
    }

private:
    const char* m_kind;
    QString m_keyFile;
    bool m_told = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool bare = args.value(1) == QLatin1String("barelabel");
    if (args.size() == 2 && (bare || args.at(1) == QLatin1String("label"))) {
        StandIn label(bare ? "barelabel" : "label", QString());
        label.setWindowFlag(Qt::WindowDoesNotAcceptFocus, !bare);
        label.setGeometry(1, bare ? 200 : 250, 240, 20);
        label.show();
        return app.exec();
    }
    if (args.size() == 3 && args.at(1) == QLatin1String("keys")) {
        StandIn window("keys", args.at(2));
        window.setGeometry(0, 0, 240, 320);
        window.show();
        return app.exec();
    }
    std::fputs("usage: windowstandin keys FILE | label | barelabel\n", stderr);
    return 2;
}
