#include <QtTest>
class TestDrawingEdits : public QObject {
    Q_OBJECT
};
QTEST_MAIN(TestDrawingEdits)
#include "tst_DrawingEdits.moc"
