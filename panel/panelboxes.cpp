#include "panel/panelboxes.h"

#include "dialogs/outcomebox.h"

#include <QCoreApplication>

namespace PanelBox {

void failure(const QString &text)
{
    const QString fail = QCoreApplication::translate("sendordertoprinter_test", "Fail");
    OutcomeBox::report(OutcomeBox::Kind::Failure, fail, fail, text);
}

void success(const QString &action, const QString &text)
{
    OutcomeBox::report(OutcomeBox::Kind::Success,
                       QCoreApplication::translate("sendordertoprinter_test", " "), action, text);
}

} // namespace PanelBox
