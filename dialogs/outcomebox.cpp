#include "dialogs/outcomebox.h"
#include "ui_outcomebox.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QScroller>
#include <QStyle>

namespace {

// Room left around the box on the screen, so that it reads as a box over the panel.
constexpr int ScreenMargin = 24;
// The box's widest, and the narrowest its text is given.
constexpr int MaxWidth = 700;
constexpr int MinTextWidth = 300;

} // namespace

OutcomeBox::OutcomeBox(Kind kind, const QString &title, const QString &heading, const QString &text,
                       QWidget *parent)
    : QDialog(parent), ui(new Ui::OutcomeBox), m_kind(kind)
{
    ui->setupUi(this);
    setWindowTitle(title);
    setModal(true);
    const QStyle::StandardPixmap icon =
        kind == Kind::Failure ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation;
    const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    ui->outcome_icon->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(extent));
    ui->outcome_heading->setText(heading);
    ui->outcome_text->setText(text);
    // Names and texts from a USB stick are shown as they are, never read as markup.
    ui->outcome_text->setTextFormat(Qt::PlainText);
    QScroller::grabGesture(ui->outcome_scroll->viewport(), QScroller::LeftMouseButtonGesture);

    QPushButton *ok = ui->outcome_buttons->button(QDialogButtonBox::Ok);
    ok->setMinimumSize(MinimumButton);
    ok->setDefault(true);
}

OutcomeBox::~OutcomeBox()
{
    delete ui;
}

QString OutcomeBox::heading() const
{
    return ui->outcome_heading->text();
}

QString OutcomeBox::text() const
{
    return ui->outcome_text->text();
}

int OutcomeBox::report(Kind kind, const QString &title, const QString &heading, const QString &text)
{
    OutcomeBox box(kind, title, heading, text);
    return box.exec();
}

void OutcomeBox::showEvent(QShowEvent *event)
{
    // The panel covers the screen; in a window (a desktop, a test) the box centres on it:
    // the parent's window, else the active one.
    const QWidget *panel = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
    if (panel == this)
        panel = nullptr;
    const QRect area = panel ? panel->geometry() : screen()->availableGeometry();
    const QRect inside = area.adjusted(ScreenMargin, ScreenMargin, -ScreenMargin, -ScreenMargin);

    // As wide as the longest line, within bounds; as high as the text, unless it is longer
    // than the screen is high: then it scrolls.
    const QMargins margins = ui->frame_layout->contentsMargins();
    const int beside = margins.left() + margins.right() + ui->frame_layout->horizontalSpacing() +
                       ui->outcome_icon->sizeHint().width();
    const int widest = qMin(inside.width(), MaxWidth) - beside;
    const int longestLine = ui->outcome_text->fontMetrics().size(0, text()).width() + 2;
    const int textWidth = qBound(qMin(MinTextWidth, widest), longestLine, widest);
    const int above = margins.top() + margins.bottom() + 2 * ui->frame_layout->verticalSpacing() +
                      ui->outcome_heading->heightForWidth(textWidth) +
                      ui->outcome_buttons->sizeHint().height();
    const int tallest = qMax(40, inside.height() - above);
    const int textHeight = ui->outcome_text->heightForWidth(textWidth);
    ui->outcome_scroll->setVisible(!text().isEmpty());
    if (textHeight <= tallest) {
        ui->outcome_scroll->setFixedSize(textWidth, textHeight);
    } else {
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        ui->outcome_scroll->setFixedSize(textWidth + bar, tallest);
    }
    adjustSize();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), area));
    QDialog::showEvent(event);
}
