// The main window's title and the GUI message boxes, on the offscreen platform.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <thread>

#include "display/ui/skin_images.h"
#include "shell/string_table.h"
#include "shell/ui/main_window.h"
#include "shell/ui/message_box.h"
#include "shell/ui/qt_text.h"

using namespace kv;

namespace {

// Clicks `button` of the message box for string `stringId` once it is shown.
void clickWhenShown(int stringId, QMessageBox::StandardButton button, QString* seenText) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [=] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible() || box->objectName() != QString::number(stringId)) continue;
      *seenText = box->text() + "|" + box->windowTitle();
      box->button(button)->click();
      timer->stop();
      timer->deleteLater();
      return;
    }
  });
  timer->start(10);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void titleNamesTheProjectAndTheNewMotion() {
    EditorState state;
    state.project.modelName = u"DemoHumanoid";
    SkinImages skins;
    MainWindow window(state, skins);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QString::fromUtf8("DemoHumanoid -Quorvex2-  [新しいモーション]"));
    QCOMPARE(toQString(mainWindowTitle(state, u"walk.txt")), QString("DemoHumanoid -Quorvex2-  [walk.txt]"));
  }

  void failedStartUpSaysTheProjectCouldNotBeRead() {
    EditorState state;
    state.startupFailed = true;
    SkinImages skins;
    MainWindow window(state, skins);
    window.show();
    auto labels = window.findChildren<QLabel*>();
    QVERIFY(!labels.isEmpty());
    QCOMPARE(labels.first()->text(), toQString(loadUiString(40244)));
  }

  void messageBoxOnTheGuiThread() {
    MessageBoxHandler handler;
    setMessageHandler(&handler);
    QString seen;
    clickWhenShown(40003, QMessageBox::Ok, &seen);
    QCOMPARE(showMessage(40003, MessageIcon::Warning, MessageButtons::Ok), MessageAnswer::Ok);
    QCOMPARE(seen, toQString(loadUiString(40003)) + "|" + toQString(loadUiString(40001)));
    setMessageHandler(nullptr);
  }

  void questionFromAWorkerThreadIsAskedOnTheGuiThread() {
    MessageBoxHandler handler;
    setMessageHandler(&handler);
    QString seen;
    clickWhenShown(40132, QMessageBox::No, &seen);
    std::atomic<bool> done{false};
    MessageAnswer answer = MessageAnswer::Cancel;
    std::thread worker([&] {
      answer = showMessage(40132, MessageIcon::Error, MessageButtons::YesNo, {u"medit_sld.ini"});
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    worker.join();
    QCOMPARE(answer, MessageAnswer::No);
    QVERIFY(seen.contains("[ medit_sld.ini ]"));
    setMessageHandler(nullptr);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
