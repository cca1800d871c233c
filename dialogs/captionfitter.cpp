#include "dialogs/captionfitter.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>

#include <climits>

namespace {

// Smaller than this a caption is no longer read on the panel; it is then left cut.
constexpr qreal SmallestPoints = 8;
constexpr qreal Step = 0.5;

bool watched(const QWidget *widget)
{
    if (qobject_cast<const QPushButton *>(widget) || qobject_cast<const QComboBox *>(widget))
        return true;
    // A label that wraps finds room by itself.
    const auto *label = qobject_cast<const QLabel *>(widget);
    return label && !label->wordWrap();
}

} // namespace

CaptionFitter::CaptionFitter(QWidget *root) : QObject(root)
{
    if (watched(root))
        watch(root);
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (watched(widget))
            watch(widget);
    }
}

void CaptionFitter::watch(QWidget *widget)
{
    m_fits.insert(widget, Fit{widget->font(), QSize(), QStringList()});
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this](QObject *gone) { m_fits.remove(gone); });
}

QRect CaptionFitter::room(const QWidget *widget)
{
    if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->isFlat())
            option.features |= QStyleOptionButton::Flat;
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    if (const auto *combo = qobject_cast<const QComboBox *>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        return combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                              QStyle::SC_ComboBoxEditField, combo);
    }
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        // A label is as high as its caption needs, where the layout lets it be.
        const int indent = qMax(0, label->indent());
        const QRect contents = label->contentsRect().adjusted(indent, 0, -indent, 0);
        return QRect(contents.topLeft(), QSize(contents.width(), 0));
    }
    return widget->rect();
}

QStringList CaptionFitter::captions(const QWidget *widget)
{
    QStringList texts;
    if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
        texts << button->text();
    } else if (const auto *combo = qobject_cast<const QComboBox *>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    } else if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        texts << label->text();
    }
    texts.removeAll(QString());
    return texts;
}

QFont CaptionFitter::fitted(const QFont &font, const QRect &room, const QStringList &captions,
                            QPaintDevice *device)
{
    // A room without a height grows with the caption's lines (a label's): only its width counts.
    const int height = room.height() > 0 ? room.height() : INT_MAX;
    QFont candidate = font;
    const qreal designed = font.pointSizeF();
    if (designed <= 0 || room.width() <= 0)
        return candidate;
    for (qreal size = designed; size >= SmallestPoints; size -= Step) {
        candidate.setPointSizeF(size);
        const QFontMetrics metrics(candidate, device);
        bool fits = true;
        for (const QString &caption : captions) {
            const QSize needed = metrics.size(Qt::TextShowMnemonic, caption);
            if (needed.width() > room.width() || needed.height() > height) {
                fits = false;
                break;
            }
        }
        if (fits)
            return candidate;
    }
    return candidate;
}

void CaptionFitter::fit(QWidget *widget)
{
    auto it = m_fits.find(widget);
    if (it == m_fits.end())
        return;
    it->size = widget->size();
    it->captions = captions(widget);
    const QFont font = fitted(it->designed, room(widget), it->captions, widget);
    if (font != widget->font())
        widget->setFont(font);
}

bool CaptionFitter::eventFilter(QObject *object, QEvent *event)
{
    auto *widget = static_cast<QWidget *>(object);
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Show:
        fit(widget);
        break;
    case QEvent::Paint: {
        // A caption set since the last fit (the test-method button's, a translation's).
        const auto it = m_fits.constFind(widget);
        if (it != m_fits.constEnd() &&
            (it->size != widget->size() || it->captions != captions(widget)))
            fit(widget);
        break;
    }
    default:
        break;
    }
    return false;
}
