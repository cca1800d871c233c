// Mode settings, the settings report and the resets of the printer test page.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "panel/printercommands.h"

void sendordertoprinter_test::on_nrecieve_down_paper_clicked() {}

void sendordertoprinter_test::on_recieve_down_paper_clicked() {}

void sendordertoprinter_test::on_label_paper_clicked() {}

void sendordertoprinter_test::on_paper_clicked() {}

void sendordertoprinter_test::on_parameter_query_clicked() {}

void sendordertoprinter_test::on_paper_reset_clicked() {}

void sendordertoprinter_test::on_parameter_reset_clicked() {}
