#include "OkCancelRow.h"
#include "ButtonSlot.h"
#include "TCoolBtn.h"

OkCancelRow::OkCancelRow(QWidget *dialog, const QFont &font)
    : ok(new TCoolBtn(dialog))
    , cancel(new TCoolBtn(dialog))
{
    ok->setText(QStringLiteral("&Ok"));
    ok->setFont(font);
    ok->setDefault(true);
    cancel->setText(QStringLiteral("&Cancel"));
    cancel->setFont(font);
    setSpacing(2);
    addStretch(1);
    addWidget(new ButtonSlot(ok, QSize(75, 21), dialog));
    addWidget(new ButtonSlot(cancel, QSize(75, 21), dialog));
}
