// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers.h"

#include <QTest>

#include <limits>

class TestNumbers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void leadingNumber_data();
    void leadingNumber();
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void clampsToFieldRange();
};

void TestNumbers::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("plain") << "42" << 42.0;
    QTest::newRow("letters after") << "12abc" << 12.0;
    QTest::newRow("leading blanks") << "   7 days" << 7.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("negative") << "-15" << -15.0;
    QTest::newRow("plus sign") << "+8" << 8.0;
    QTest::newRow("fraction") << "2.5" << 2.5;
    QTest::newRow("bare fraction") << ".5x" << 0.5;
    QTest::newRow("trailing dot") << "3." << 3.0;
    QTest::newRow("lone dot") << "." << 0.0;
    QTest::newRow("lone sign") << "-" << 0.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("e without digits") << "4e" << 4.0;
    QTest::newRow("e sign without digits") << "4e+z" << 4.0;
    QTest::newRow("second dot stops") << "1.2.3" << 1.2;
    QTest::newRow("blank inside stops") << "1 2" << 1.0;
    QTest::newRow("sign after blank") << " -3" << -3.0;
    QTest::newRow("blank after sign stops") << "- 3" << 0.0;
    QTest::newRow("non-ascii digit stops") << QString::fromUtf8("\xd9\xa3") << 0.0;
    QTest::newRow("huge") << "1e999" << std::numeric_limits<double>::infinity();
    QTest::newRow("tiny") << "1e-999" << 0.0;
    // Too many digits for a double, brought back only part of the way.
    const QString hugeDigits = QStringLiteral("1") + QString(400, u'0');
    QTest::newRow("huge digits, small exponent") << hugeDigits + QStringLiteral("e-1")
                                                 << std::numeric_limits<double>::infinity();
    QTest::newRow("huge digits, negative") << QStringLiteral("-") + hugeDigits << -std::numeric_limits<double>::infinity();
    QTest::newRow("tiny digits, large exponent") << QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("5e400")
                                                 << 0.5;
    QTest::newRow("tiny digits, huge exponent") << QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1e99999999999999999999")
                                                << std::numeric_limits<double>::infinity();
    QTest::newRow("zero, huge exponent") << QStringLiteral("0e99999") << 0.0;
}

void TestNumbers::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(Numbers::leadingNumber(text), expected);
}

void TestNumbers::roundsHalvesToEven_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("2.5") << "2.5" << 2;
    QTest::newRow("3.5") << "3.5" << 4;
    QTest::newRow("-2.5") << "-2.5" << -2;
    QTest::newRow("-3.5") << "-3.5" << -4;
    QTest::newRow("2.51") << "2.51" << 3;
    QTest::newRow("0.5") << "0.5" << 0;
    QTest::newRow("1.5") << "1.5" << 2;
}

void TestNumbers::roundsHalvesToEven()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(int(Numbers::readInt16(text)), expected);
    QCOMPARE(int(Numbers::readInt32(text)), expected);
}

void TestNumbers::clampsToFieldRange()
{
    bool clamped = false;
    QCOMPARE(Numbers::readInt16(u"32767", &clamped), qint16(32767));
    QVERIFY(!clamped);
    QCOMPARE(Numbers::readInt16(u"32768", &clamped), qint16(32767));
    QVERIFY(clamped);
    QCOMPARE(Numbers::readInt16(u"-32768", &clamped), qint16(-32768));
    QVERIFY(!clamped);
    QCOMPARE(Numbers::readInt16(u"-99999", &clamped), qint16(-32768));
    QVERIFY(clamped);
    // 32767.5 rounds to the even 32768, which no longer fits.
    QCOMPARE(Numbers::readInt16(u"32767.5", &clamped), qint16(32767));
    QVERIFY(clamped);
    QCOMPARE(Numbers::readInt16(u"1e999", &clamped), qint16(32767));
    QVERIFY(clamped);
    QCOMPARE(Numbers::readInt16(QString(QStringLiteral("1") + QString(400, u'0') + QStringLiteral("e-1")), &clamped),
             qint16(32767));
    QVERIFY(clamped);
    QCOMPARE(Numbers::readInt32(u"16777215", &clamped), qint32(16777215));
    QVERIFY(!clamped);
    QCOMPARE(Numbers::readInt32(u"4294967296", &clamped), std::numeric_limits<qint32>::max());
    QVERIFY(clamped);
    QCOMPARE(Numbers::readInt32(u"-1e10", &clamped), std::numeric_limits<qint32>::min());
    QVERIFY(clamped);
}

QTEST_GUILESS_MAIN(TestNumbers)
#include "test_numbers.moc"
