#include "ScanOptionsPage.h"
#include "core/scan/HostScanner.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSpinBox>

namespace {
constexpr int MaxDepthLimit = 100000;
constexpr int DayS = 24 * 60 * 60;

QSpinBox *spin(int low, int high, QWidget *parent)
{
    auto *s = new QSpinBox(parent);
    s->setRange(low, high);
    return s;
}
} // namespace

ScanOptionsPage::ScanOptionsPage(QWidget *parent)
    : QWidget(parent)
{
    auto *form = new QFormLayout(this);
    cbPassive = new QCheckBox(QStringLiteral("&Passive data connections"), this);
    seConnections = spin(1, HostScanner::MaxConnections, this);
    seMaxDepth = spin(1, MaxDepthLimit, this);
    // Entries are counted in 64 bits: more than a spin box holds.
    edMaxEntries = new QLineEdit(this);
    edMaxEntries->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{1,18}")), this));
    edMaxEntries->setPlaceholderText(QStringLiteral("0: no limit"));
    seDeadline = spin(1, DayS, this);
    seDeadline->setSuffix(QStringLiteral(" s"));
    seDeadline->setToolTip(QStringLiteral("A listing still coming after this long is broken off"));
    form->addRow(cbPassive);
    form->addRow(QStringLiteral("&Connections"), seConnections);
    form->addRow(QStringLiteral("Max &Depth"), seMaxDepth);
    form->addRow(QStringLiteral("Max &Entries"), edMaxEntries);
    form->addRow(QStringLiteral("&Listing deadline"), seDeadline);
}

void ScanOptionsPage::showValues(const ScanOptions::Program &p)
{
    cbPassive->setChecked(p.passive);
    seConnections->setValue(p.connections);
    seMaxDepth->setValue(p.maxDepth);
    edMaxEntries->setText(QString::number(p.maxEntries));
    seDeadline->setValue(p.listingDeadlineS);
}

ScanOptions::Program ScanOptionsPage::values() const
{
    return {cbPassive->isChecked(), seConnections->value(), seMaxDepth->value(), edMaxEntries->text().toLongLong(),
            seDeadline->value()};
}
