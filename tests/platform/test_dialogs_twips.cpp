#include "platform/widgets/dialogs.h"
#include "platform/widgets/twips.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestDialogsTwips : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { dialogs::reset(); }

    void queuedAnswersAreConsumedInOrderAndRecorded()
    {
        dialogs::queueAnswer(dialogs::Answer::Yes);
        dialogs::queueAnswer(dialogs::Answer::No);
        QCOMPARE(dialogs::message(nullptr, "q1", {}, dialogs::Icon::Question, dialogs::Buttons::YesNo),
                 dialogs::Answer::Yes);
        QCOMPARE(dialogs::message(nullptr, "q2", "Own title"), dialogs::Answer::No);

        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, QString("q1"));
        QCOMPARE(shown[0].title, QString("Trovalis"));
        QCOMPARE(shown[0].icon, dialogs::Icon::Question);
        QCOMPARE(shown[0].buttons, dialogs::Buttons::YesNo);
        QCOMPARE(shown[1].title, QString("Own title"));
        QVERIFY(dialogs::takeShownMessages().isEmpty());
    }

    void queuedFileNamesIncludingCancel()
    {
        dialogs::queueFileName("/tmp/a.rtf");
        dialogs::queueFileName("");
        QCOMPARE(dialogs::openFileName(nullptr, "t", "Rich text (*.rtf)"), QString("/tmp/a.rtf"));
        QCOMPARE(dialogs::saveFileName(nullptr, "t", "Rich text (*.rtf)"), QString());
    }

    // After reset nothing is queued: the real box comes up and is answered by a click.
    void resetLeavesTheRealMessageBox()
    {
        dialogs::queueAnswer(dialogs::Answer::Yes);
        dialogs::reset();
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool yesAndNo = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            icon = box->icon();
            yesAndNo = box->button(QMessageBox::Yes) && box->button(QMessageBox::No)
                && !box->button(QMessageBox::Ok);
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(dialogs::message(nullptr, "real", {}, dialogs::Icon::Question, dialogs::Buttons::YesNo),
                 dialogs::Answer::No);
        QCOMPARE(title, QString("Trovalis"));
        QCOMPARE(icon, QMessageBox::Question);
        QVERIFY(yesAndNo);
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
    }

    void geometryInTwips()
    {
        QWidget parent;
        QWidget child(&parent);
        twips::setGeometry(&child, 90, 1125, 10140, 5100);
        QCOMPARE(child.geometry(), QRect(6, 75, 676, 340));
        QCOMPARE(twips::geometry(&child), QRect(90, 1125, 10140, 5100));

        twips::setTop(&child, -300);  // tops and lefts may go negative
        twips::setLeft(&child, 150);
        QCOMPARE(child.pos(), QPoint(10, -20));

        // A negative size is not applied; the other side still is.
        twips::setWidth(&child, -15);
        twips::setHeight(&child, 1500);
        QCOMPARE(child.size(), QSize(676, 100));
        twips::setGeometry(&child, 0, 0, 3000, -1);
        QCOMPARE(child.size(), QSize(200, 100));
    }

    void outerSizeOfAnUnframedWindowIsItsGeometry()
    {
        QWidget window;
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize frame = window.frameGeometry().size();
        QCOMPARE(twips::outerSize(&window), QSize(frame.width() * 15, frame.height() * 15));
        QVERIFY(twips::outerSize(&window).width() >= 6000);
    }
};

QTEST_MAIN(TestDialogsTwips)
#include "test_dialogs_twips.moc"
