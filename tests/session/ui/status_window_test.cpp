// The status window on the offscreen platform.
#include <QtTest>

#include "session/ui/status_window.h"

using namespace kv;

class StatusWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void showsAControllerAndALowBatteryThenClosesWithTheSession() {
    bool connected = true;
    StatusInput input;
    input.robotName = u"DemoHumanoid";
    input.alarmVoltage = 6800;
    input.shutdownVoltage = 6400;
    input.snapshot.batteryVoltage = 6650;  // below the alarm voltage
    input.snapshot.controllerKind = 1;
    input.snapshot.controllerWords = {0x0005, 0x0010, 0x0080, 0x0080, 0x00C0, 0x0040, 1, 0, 2, 0};
    QWidget owner;
    owner.show();
    StatusWindow* window =
        StatusWindow::open([&]() -> std::optional<StatusInput> { return connected ? std::optional(input) : std::nullopt; },
                           &owner);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->windowTitle(), QString("status window"));
    QCOMPARE(window->size(), QSize(472, 200));
    QCOMPARE(StatusWindow::open({}, &owner), window);  // one at a time

    QImage picture = window->grab().toImage();
    QVERIFY(picture.save(QDir(QT_TESTCASE_BUILDDIR).filePath("status_window.png")));
    // The bar is yellow: the battery is below its alarm voltage.
    QCOMPARE(picture.pixelColor(30, 52), QColor(Qt::yellow));

    QPointer<StatusWindow> watch(window);
    connected = false;
    QTRY_VERIFY_WITH_TIMEOUT(watch.isNull(), 2000);
    QVERIFY(StatusWindow::current() == nullptr);
  }
};

QTEST_MAIN(StatusWindowTest)
#include "status_window_test.moc"
