// The yardstick of the start-up benchmark: a bare Qt 6 Widgets dialog with one line of Japanese
// text (so that it loads a Japanese font, as any program for Japanese users does), shown at once.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("bare"));
    QVBoxLayout layout(&dialog);
    QLabel label(QStringLiteral("2026年 12月"));
    layout.addWidget(&label);
    dialog.resize(320, 240);
    dialog.show();
    return application.exec();
}
