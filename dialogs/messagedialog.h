#ifndef MESSAGEDIALOG_H
#define MESSAGEDIALOG_H

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

namespace Ui {
class messagedialog;
}

class messagedialog : public QDialog
{
    Q_OBJECT

public:
    messagedialog(const QString &title, const QString &text, QWidget *parent,
                  const QString &cancelText, const QString &confirmText, bool flag);
    ~messagedialog() override;

    static int message(QWidget *parent, const QString &title, const QString &text,
                       const QString &cancelText, const QString &confirmText, bool flag);
    static int warning(QWidget *parent, const QString &title, const QString &text,
                       const QString &cancelText, const QString &confirmText);

    // The dialog's rectangle on a screen of the given size: 80 % of it with a tenth
    // on each side when flag is true, else 60 % of it, centred.
    static QRect geometryFor(const QSize &screen, bool flag);

    void hideCancel();
    void hideComFirm();
    void hideCancelAndComFirm();

private slots:
    void on_cancel_clicked();
    void on_comfirm_clicked();

private:
    Ui::messagedialog *ui;
};

#endif
