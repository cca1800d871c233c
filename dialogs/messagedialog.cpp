#include "dialogs/messagedialog.h"
#include "ui_messagedialog.h"

#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

messagedialog::messagedialog(const QString &title, const QString &text, QWidget *parent,
                             const QString &cancelText, const QString &confirmText, bool flag)
    : QDialog(parent), ui(new Ui::messagedialog)
{
    ui->setupUi(this);
    // No window type on purpose: with a parent the box becomes a child widget placed in
    // the parent's coordinates.
    setWindowFlags(Qt::FramelessWindowHint);

    // The primary screen's size stands for the size of the old desktop widget.
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    setGeometry(geometryFor(screen, flag));
    if (flag) {
        ui->labe_text->setAlignment(Qt::AlignLeft);
        ui->labe_text->setWordWrap(true);
    } else {
        ui->labe_text->setAlignment(Qt::AlignCenter);
    }

    setAttribute(Qt::WA_TranslucentBackground);

    ui->label_title->setText(title);
    ui->labe_text->setText(text);
    ui->cancel->setText(cancelText);
    ui->comfirm->setText(confirmText);
}

messagedialog::~messagedialog()
{
    delete ui;
}

QRect messagedialog::geometryFor(const QSize &screen, bool flag)
{
    const double w = screen.width();
    const double h = screen.height();
    if (flag)
        return QRect(int(w * 0.4 * 0.25), int(h * 0.4 * 0.25), int(w * 0.8), int(h * 0.8));
    return QRect(int(w * 0.4 * 0.5), int(h * 0.4 * 0.5), int(w * 0.6), int(h * 0.6));
}

int messagedialog::message(QWidget *parent, const QString &title, const QString &text,
                           const QString &cancelText, const QString &confirmText, bool flag)
{
    auto *dialog = new messagedialog(title, text, parent, cancelText, confirmText, flag);
    dialog->setFont(QFont(QStringLiteral("DejaVu Sans"), 30));
    const int result = dialog->exec();
    delete dialog;
    return result;
}

int messagedialog::warning(QWidget *parent, const QString &title, const QString &text,
                           const QString &cancelText, const QString &confirmText)
{
    auto *dialog = new messagedialog(title, text, parent, cancelText, confirmText, false);
    dialog->setFont(QFont(QStringLiteral("DejaVu Sans"), 30));
    // Tied to the dialog so that it dies with it when a button ends the box first. Precise,
    // as timers were before Qt 5: a coarse one may close the box up to 5 % early.
    QTimer::singleShot(3456, Qt::PreciseTimer, dialog, &QDialog::accept);
    const int result = dialog->exec();
    delete dialog;
    return result;
}

void messagedialog::fitText(int smallest)
{
    m_sheet = ui->labe_text->styleSheet();
    m_smallest = smallest;
    fitTextNow();
}

void messagedialog::fitTextNow()
{
    QLabel *text = ui->labe_text;
    m_fitting = true;
    for (int size = 28;; size -= 2) {
        text->setStyleSheet(QString(m_sheet).replace(QLatin1String("font: 28pt"),
                                                     QStringLiteral("font: %1pt").arg(size)));
        // Its share of the box, whatever the text holds (a new font asks for its height
        // again): the font is what changes.
        QSizePolicy policy = text->sizePolicy();
        policy.setVerticalPolicy(QSizePolicy::Ignored);
        policy.setHeightForWidth(false);
        text->setSizePolicy(policy);
        // Laid out at once, also while the box is hidden: the font decides what fits.
        for (QWidget *box : {static_cast<QWidget *>(this), static_cast<QWidget *>(ui->frame)}) {
            if (box->layout()) {
                box->layout()->invalidate();
                box->layout()->activate();
            }
        }
        const QRect room = text->contentsRect();
        if (size - 2 < m_smallest || text->heightForWidth(room.width()) <= room.height())
            break;
    }
    m_fitting = false;
}

void messagedialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (m_smallest > 0 && !m_fitting)
        fitTextNow();
}

void messagedialog::hideCancel()
{
    ui->cancel->setVisible(false);
}

void messagedialog::hideComFirm()
{
    ui->comfirm->setVisible(false);
}

void messagedialog::hideCancelAndComFirm()
{
    ui->cancel->setVisible(false);
    ui->comfirm->setVisible(false);
}

void messagedialog::on_cancel_clicked()
{
    reject();
}

void messagedialog::on_comfirm_clicked()
{
    accept();
}
