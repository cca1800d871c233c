#ifndef CAPTIONFITTER_H
#define CAPTIONFITTER_H

#include <QFont>
#include <QHash>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

class QPaintDevice;
class QWidget;

// Captions drawn whole. The forms give each caption a font for a given panel; where a caption
// does not fit the room its widget has (a small screen, a longer translation), it is drawn
// smaller, half a point at a time, until it fits, and at the form's own size again wherever
// that fits. The smaller font is set on the widget itself, so that its fontMetrics() measure
// what is drawn. Follows each widget's size and caption.
class CaptionFitter : public QObject
{
public:
    // Watches every push button, single-line label and combo box under `root`, and `root`
    // itself when it is one of them.
    explicit CaptionFitter(QWidget *root);

    // The room a widget draws its caption in, and the captions it may draw there (every item
    // of a combo box, so that the size does not change with the choice).
    static QRect room(const QWidget *widget);
    static QStringList captions(const QWidget *widget);
    // The largest size, from `font`'s own down, at which every caption fits `room` when drawn
    // on `device`.
    static QFont fitted(const QFont &font, const QRect &room, const QStringList &captions,
                        QPaintDevice *device);

    // Fits one widget now (after a caption was set, say).
    void fit(QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(QWidget *widget);

    struct Fit
    {
        QFont designed;
        QSize size;
        QStringList captions;
    };
    QHash<QObject *, Fit> m_fits;
};

#endif
