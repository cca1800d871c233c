#ifndef CAPTIONINK_H
#define CAPTIONINK_H

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QWidget>

// Where a caption is inked when drawn as the style draws it (centred in the room the widget
// gives it) but without clipping, against that room.
struct CaptionFit
{
    QRect ink;
    QRect room;
    bool fits() const { return ink.isEmpty() || room.contains(ink); }
};

inline CaptionFit captionFit(const QWidget *widget, const QFont &font, const QRect &room,
                             const QString &text)
{
    // Space around the room for what spills over.
    const int margin = 200;
    QImage image(room.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32);
    // At the widget's resolution, so that the font is drawn as on the widget.
    image.setDotsPerMeterX(qRound(widget->logicalDpiX() * 10000 / 254.0));
    image.setDotsPerMeterY(qRound(widget->logicalDpiY() * 10000 / 254.0));
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRect(QPoint(margin, margin), room.size()),
                         Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextDontClip, text);
    }
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 64)
                ink |= QRect(x - margin, y - margin, 1, 1);
        }
    }
    return {ink.translated(room.topLeft()), room};
}

// The captions a button, single-line label or combo box (every item) draws, and the room it
// draws them in, as the style lays it out; nothing for other widgets.
struct Caption
{
    QRect room;
    QString text;
};

inline QList<Caption> captionsOf(QWidget *widget)
{
    QList<Caption> captions;
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        captions.append(
            {button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button),
             button->text()});
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        const QRect room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, combo);
        for (int i = 0; i < combo->count(); ++i)
            captions.append({room, combo->itemText(i)});
    } else if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (!label->wordWrap())
            captions.append({label->contentsRect(), label->text()});
    }
    return captions;
}

// The captions of the visible widgets under `top` (and of `top`) that stick out of the room
// they are given, measured with each widget's own font.
inline QStringList captionsThatDoNotFit(QWidget *top)
{
    QStringList cut;
    QList<QWidget *> widgets = top->findChildren<QWidget *>();
    widgets.prepend(top);
    for (QWidget *widget : widgets) {
        if (!widget->isVisible())
            continue;
        for (const Caption &caption : captionsOf(widget)) {
            const CaptionFit fit = captionFit(widget, widget->font(), caption.room, caption.text);
            if (fit.fits())
                continue;
            cut << QStringLiteral("%1 \"%2\" at %3 pt: inked %4 x %5, room %6 x %7")
                       .arg(widget->objectName(),
                            QString(caption.text).replace(QLatin1Char('\n'), "\\n"))
                       .arg(widget->font().pointSizeF())
                       .arg(fit.ink.width())
                       .arg(fit.ink.height())
                       .arg(fit.room.width())
                       .arg(fit.room.height());
        }
    }
    return cut;
}

#endif
