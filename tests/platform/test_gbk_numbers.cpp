#include "platform/core/gbk.h"
#include "platform/core/numberformat.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

class TestGbkNumbers : public QObject {
    Q_OBJECT
private slots:
    void doubleByteAgreesWithCodecForEveryBmpCharacter()
    {
        QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
        QVERIFY(encoder.isValid());
        int mismatches = 0;
        for (int u = 0; u < 0x10000; ++u) {
            bool expected = false;
            if (u >= 0x80 && (u < 0xD800 || u > 0xDFFF)) {
                const QChar ch(static_cast<char16_t>(u));
                const QByteArray b = encoder.encode(QStringView(&ch, 1));
                expected = b.size() == 2 && static_cast<unsigned char>(b[0]) >= 0x81
                    && static_cast<unsigned char>(b[0]) <= 0xFE;
            }
            mismatches += gbk::isDoubleByte(static_cast<char16_t>(u)) != expected;
        }
        QCOMPARE(mismatches, 0);
        QVERIFY(gbk::isDoubleByte(u'中'));
        QVERIFY(gbk::isDoubleByte(u'，'));
        QVERIFY(gbk::isDoubleByte(u'！'));
        QVERIFY(!gbk::isDoubleByte(u'A'));
        QVERIFY(!gbk::isDoubleByte(u'\t'));
        QVERIFY(!gbk::isDoubleByte(0x20AC));  // the euro sign is the single byte 0x80
        QVERIFY(!gbk::isDoubleByte(0xD83D));  // a surrogate half
    }

    void encodeDecodeRoundTripAndUnencodable()
    {
        QCOMPARE(gbk::encode(u"中a"),
                 QByteArray("\xD6\xD0"
                            "a"));
        QCOMPARE(gbk::encode(QString::fromUtf8("\xF0\x9F\x98\x80")), QByteArray("??"));
        QCOMPARE(gbk::encode(u"\u20AC"), QByteArray("\x80"));  // the euro sign is a single byte
        QCOMPARE(gbk::decode(gbk::encode(u"\u20AC\uE000")), QStringLiteral(u"\u20AC\uE000"));
        bool ok = false;
        QCOMPARE(gbk::decode("\xD6\xD0\xCE\xC4", &ok), QStringLiteral("中文"));
        QVERIFY(ok);
        gbk::decode("\xD6", &ok);
        QVERIFY(!ok);
        QCOMPARE(gbk::doubleByteCount(u"HelloWorld！"), 1);
    }

    void numbersArePlainDecimal_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 29.0 << "29";
        QTest::newRow("product") << 0.29 * 100 << "29";
        QTest::newRow("half") << 12.5 << "12.5";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative") << -3.25 << "-3.25";
        QTest::newRow("large") << 1e20 << "100000000000000000000";
        QTest::newRow("small") << 0.000001 << "0.000001";
        QTest::newRow("15 digits") << 1.0 / 3 << "0.333333333333333";
    }
    void numbersArePlainDecimal()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(numfmt::format(value), text);
    }

    void roundingTakesTiesToEven()
    {
        QCOMPARE(numfmt::roundHalfEven(0.0553, 2), 0.06);
        QCOMPARE(numfmt::roundHalfEven(0.125, 2), 0.12);
        QCOMPARE(numfmt::roundHalfEven(0.135, 2), 0.14);
        QCOMPARE(numfmt::roundHalfEven(2.5, 0), 2.0);
        QCOMPARE(numfmt::roundHalfEven(-0.125, 2), -0.12);
    }
};

QTEST_GUILESS_MAIN(TestGbkNumbers)
#include "test_gbk_numbers.moc"
