#pragma once
#include "core/scan/ScanOptions.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// The Options dialog's page of values every host shares: passive mode,
// connections, the walk's limits and the listing deadline.
class ScanOptionsPage : public QWidget
{
    Q_OBJECT
public:
    explicit ScanOptionsPage(QWidget *parent = nullptr);

    void showValues(const ScanOptions::Program &p);
    ScanOptions::Program values() const;

    QCheckBox *cbPassive;
    QSpinBox *seConnections, *seMaxDepth, *seDeadline;
    QLineEdit *edMaxEntries;
};
