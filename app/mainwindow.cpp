#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "panel/sendordertoprinter_test.h"

#include <QGuiApplication>
#include <QScreen>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    // The desktop widget of old is gone; the primary screen is the whole display here.
    setFixedSize(QGuiApplication::primaryScreen()->geometry().size());
    testUi = nullptr;
    openTestUi();
}

MainWindow::~MainWindow()
{
    delete ui;
}

int MainWindow::openTestUi()
{
    // An earlier panel is forgotten, not closed: it is a window of its own.
    testUi = nullptr;
    testUi = new sendordertoprinter_test();
    testUi->setGeometry(0, 0, width(), height());
    testUi->show();
    return 0;
}
