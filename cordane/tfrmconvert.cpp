#include "tfrmconvert.h"

#include "cordanemessages.h"

namespace cordane {

TfrmConvert::TfrmConvert(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(msg(Msg::MSG_FORMTITLE));
    setFixedSize(531, 175);
}

} // namespace cordane
