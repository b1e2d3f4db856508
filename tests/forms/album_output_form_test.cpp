#include <QTest>
class AlbumOutputFormTest : public QObject { Q_OBJECT };
QTEST_MAIN(AlbumOutputFormTest)
#include "album_output_form_test.moc"
