// Status queries, mode settings, the settings report and the resets.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "panel/printercommands.h"

void sendordertoprinter_test::on_have_paper_reset_clicked() {}

void sendordertoprinter_test::on_have_or_not_paper_clicked() {}

void sendordertoprinter_test::on_print_soft_version_clicked() {}

void sendordertoprinter_test::on_light_sensitive_status_clicked() {}
