// The editor's message boxes while it closes: a question that a worker
// thread has sent to the GUI thread gets the cautious answer, and no box.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "shell/ui/message_box.h"

using namespace kv;

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void aQuestionOnItsWayWhileClosingIsAnsweredWithoutABox() {
    MessageBoxHandler handler;
    setMessageHandler(&handler);
    // Any box that does appear is recorded and answered Yes.
    bool boxShown = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
          boxShown = true;
          box->button(QMessageBox::Yes)->click();
        }
      }
    });
    closer.start(10);

    std::atomic<bool> done{false};
    MessageAnswer answer = MessageAnswer::Yes;
    std::thread worker([&] {
      answer = showMessage(40009, MessageIcon::Error, MessageButtons::YesNo);
      done = true;
    });
    // The GUI thread serves no events yet: the question waits for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    handler.setAnswerWithoutAsking(true);
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    worker.join();
    QCOMPARE(answer, MessageAnswer::No);
    QVERIFY(!boxShown);
    setMessageHandler(nullptr);
  }
};

QTEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
