#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

namespace Ui {
class MainWindow;
}

class sendordertoprinter_test;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    int openTestUi();
    sendordertoprinter_test *panel() const { return testUi; }

private:
    sendordertoprinter_test *testUi = nullptr;
    Ui::MainWindow *ui;
};

#endif
