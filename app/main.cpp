// The program's entry: the serial port on the port map (the operator's port
// settings over the platform's port table), the main
// window (whose construction runs the start-up sequence) and the event loop.
// When the window's exit sequence has run, the loop ends at once; leaving main
// then destroys the window, the About window with it, and the port.
#include "form1.h"
#include "port_map.h"
#include "qt_serial_port.h"
#include "tarnvik_version.h"
#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(TARNVIK_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    const PortMap portMap = PortMap::load();
    QtSerialPort port(portMap.table());
    Form1 window(port, portMap);
    // exit(), not quit(): quit() would first offer every window a close,
    // which would run the exit sequence a second time.
    QObject::connect(&window, &Form1::programEnded, &app, [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}
