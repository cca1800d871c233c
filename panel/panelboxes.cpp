#include "panel/panelboxes.h"

#include "dialogs/outcomebox.h"
#include "panel/actionjournal.h"

#include <QCoreApplication>

namespace PanelBox {

void failure(const QString &text)
{
    const QString fail = QCoreApplication::translate("sendordertoprinter_test", "Fail");
    ActionJournal::outcome(false, text);
    OutcomeBox::report(OutcomeBox::Kind::Failure, fail, fail, text);
}

void success(const QString &action, const QString &text)
{
    ActionJournal::outcome(true, text);
    OutcomeBox::report(OutcomeBox::Kind::Success,
                       QCoreApplication::translate("sendordertoprinter_test", " "), action, text);
}

} // namespace PanelBox
