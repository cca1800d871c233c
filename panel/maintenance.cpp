// Data maintenance: the USB stick, backup, restore, clear data and power off.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "app/shellcommand.h"
#include "panel/maintenancecommands.h"

int sendordertoprinter_test::runCommand(const QByteArray &commandLine)
{
    if (!m_runner) {
        if (!m_systemRunner)
            m_systemRunner = std::make_unique<SystemCommandRunner>();
        m_runner = m_systemRunner.get();
    }
    return m_runner->run(commandLine);
}

QString sendordertoprinter_test::rooted(const QString &path) const
{
    return m_systemRoot + path;
}

bool sendordertoprinter_test::getUDisk()
{
    return false;
}

int sendordertoprinter_test::mkPath(const QString &path)
{
    Q_UNUSED(path)
    return 0;
}

int sendordertoprinter_test::clrPath(const QString &path)
{
    Q_UNUSED(path)
    return 0;
}

bool sendordertoprinter_test::copyDir(QWidget *parent, QString destination, QString source,
                                      QString caption)
{
    Q_UNUSED(parent)
    Q_UNUSED(destination)
    Q_UNUSED(source)
    Q_UNUSED(caption)
    return false;
}

void sendordertoprinter_test::on_btn_back_clicked() {}

void sendordertoprinter_test::on_btn_reduction_clicked() {}

void sendordertoprinter_test::on_btn_clear_clicked() {}

void sendordertoprinter_test::on_btn_exit_clicked() {}
