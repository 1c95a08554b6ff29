#include "core/ftp/CertificateFingerprint.h"

#include <QtTest>

class tst_CertificateFingerprint : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

namespace {
const QString Colons = "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89";
}

void tst_CertificateFingerprint::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QString plain = Colons;
    plain.remove(u':');
    QTest::newRow("as openssl prints it") << "sha256 Fingerprint=" + Colons << true;
    QTest::newRow("colons") << Colons << true;
    QTest::newRow("lower case, no colons") << plain.toLower() << true;
    QTest::newRow("spaces around") << "  " + Colons + " " << true;
    QTest::newRow("one digit short") << Colons.chopped(1) << false;
    QTest::newRow("SHA-1 length") << Colons.left(59) << false;
    QTest::newRow("not hex") << QString(Colons).replace(0, 1, "G") << false;
    QTest::newRow("empty") << "" << false;
}

void tst_CertificateFingerprint::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const QByteArray sha = CertificateFingerprint::parse(text);
    QCOMPARE(sha.size(), valid ? 32 : 0);
    if (valid)
        QCOMPARE(CertificateFingerprint::text(sha), Colons);
}

QTEST_GUILESS_MAIN(tst_CertificateFingerprint)
#include "tst_certificatefingerprint.moc"
