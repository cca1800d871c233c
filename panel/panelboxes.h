#ifndef PANELBOXES_H
#define PANELBOXES_H

#include <QString>

// The panel's closing boxes, worded in its own texts: "Fail" for a failure, the action's
// name for a success. Each is also the outcome in the action's record.
namespace PanelBox {
void failure(const QString &text);
void success(const QString &action, const QString &text);
} // namespace PanelBox

#endif
