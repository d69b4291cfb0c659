// The yardstick of the start-up benchmark: a bare Qt 6 Widgets dialog, shown at once.
#include <QApplication>
#include <QDialog>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("bare"));
    dialog.resize(320, 240);
    dialog.show();
    return application.exec();
}
