#ifndef MESSAGEDIALOG_H
#define MESSAGEDIALOG_H

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

namespace Ui {
class messagedialog;
}

class QResizeEvent;

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

    // For a wrapped text that names things of any length (a device, a size): the text keeps
    // its share of the box and gets a smaller font, down to `smallest` points, rather than
    // lines cut off or the title pushed out. Fitted again whenever the box changes its size.
    void fitText(int smallest = 18);

    void hideCancel();
    void hideComFirm();
    void hideCancelAndComFirm();

private slots:
    void on_cancel_clicked();
    void on_comfirm_clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitTextNow();

    Ui::messagedialog *ui;
    int m_smallest = 0; // fitText()'s floor; 0: the text keeps the form's size
    QString m_sheet;    // the text's own style sheet, at the form's size
    bool m_fitting = false;
};

#endif
