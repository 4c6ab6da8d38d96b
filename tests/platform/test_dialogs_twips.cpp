#include "dialogs.h"
#include "twips.h"

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
        QCOMPARE(dialogs::message(nullptr, "q1", {}, dialogs::Icon::Question,
                                  dialogs::Buttons::YesNo),
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

    void resetDropsQueuedAnswers()
    {
        dialogs::queueAnswer(dialogs::Answer::Yes);
        dialogs::reset();
        // Nothing queued: the real box comes up and is answered by a click.
        QTimer::singleShot(0, [] { clickButtonOfActiveBox(QMessageBox::No); });
        QCOMPARE(dialogs::message(nullptr, "real", {}, dialogs::Icon::Information,
                                  dialogs::Buttons::YesNo),
                 dialogs::Answer::No);
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
    }

    void realMessageBoxShowsTitleIconAndButtons()
    {
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            icon = box->icon();
            QVERIFY(box->button(QMessageBox::Ok));
            QVERIFY(!box->button(QMessageBox::Yes));
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(dialogs::message(nullptr, "info", {}, dialogs::Icon::Information),
                 dialogs::Answer::Ok);
        QCOMPARE(title, QString("Trovalis"));
        QCOMPARE(icon, QMessageBox::Information);
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

private:
    static void clickButtonOfActiveBox(QMessageBox::StandardButton which)
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->button(which))
            box->button(which)->click();
    }
};

QTEST_MAIN(TestDialogsTwips)
#include "test_dialogs_twips.moc"
